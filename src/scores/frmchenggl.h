#pragma once

#include "platform/Form.h"

#include <QVariant>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SearchFrame;
namespace platform {
class StatusPanels;
}
namespace store {
class DataCombo;
class DataControl;
class DbError;
class DataGrid;
class DatePicker;
}

// The staff's window over the score rows: find the scores of a student (by number or name), of
// a department or of a class, browse them, add a score for the student in the input area, change
// scores and examination dates in the grid, and delete a score.
class frmchenggl : public platform::Form {
    Q_OBJECT
public:
    frmchenggl();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void optXh_Click();
    void optXm_Click();
    void optXy_Click();
    void optBj_Click();
    void cmdFind_Click();
    void cmdFirst_Click();
    void cmdPreive_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void dgdChengji_Click();

    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdUpgrate_Click();
    void cmdDelet_Click();
    void cmdClear_Click();
    void cmdFbt_Click();
    void mnuXgjl_Click();

private:
    void showCount();
    void enableManagement(bool enabled);
    void findByNumber();
    void findByName();
    void findByCode(store::DataControl* list, store::DataCombo* combo, const QString& lookUpHead,
        const QString& codeField, const QString& scoresHead, const QString& listStatement);
    void searchFailed(const store::DbError& error);
    void abandonAdd();
    void saveEdit();
    void saveAdd(const QDate& examined);
    void saveFailed(const store::DbError& error);
    void leaveAdding();
    void leaveEditing();

    store::DataControl* rs_Kj;
    store::DataControl* rs_Xinf;
    store::DataControl* rs_Km;
    store::DataControl* rs_Bjd;
    store::DataControl* rs_Yxd;

    SearchFrame* famCx;

    QGroupBox* famLl;
    QPushButton* cmdFirst;
    QPushButton* cmdPreive;
    QPushButton* cmdNext;
    QPushButton* cmdLast;

    QLabel* lblTs;
    QGroupBox* schengjiFrame;
    store::DataGrid* dgdChengji;

    QGroupBox* famGuanli;
    QPushButton* cmdAdd;
    QPushButton* cmdDelet;
    QPushButton* cmdEdit;
    QPushButton* cmdUpgrate;
    QPushButton* cmdClear;
    QPushButton* cmdFbt;
    QAction* mnuXgjl; // the grid's "查看修改记录…"

    QGroupBox* famKe;
    QLabel* lblXh;
    QLineEdit* txtXuehao;
    QLabel* lblKm;
    store::DataCombo* dcbKm;
    QLabel* lblCheng;
    QLineEdit* txtCheng;
    QLabel* lblKd;
    store::DatePicker* dpkKd;

    platform::StatusPanels* stb;

    QString m_searchKey;      // the number or code the last search by name, department or class found
    QString m_covers;         // what the grid's scores are: all, or the student, class or department searched
    QVariant m_departmentCode; // the student's codes, looked up by the save of an add
    QVariant m_classCode;
    QString m_courseNumber;   // the course's number and credits, looked up by the save of an add
    qint16 m_credits = 0;
    bool m_adding = false;    // between "添加(&A)" and its save, its failure, "取消(&C)" or a search
};
