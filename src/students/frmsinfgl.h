#pragma once

#include "platform/Form.h"

#include <QVariant>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SearchFrame;
namespace platform {
class StatusPanels;
}
namespace store {
class DataCombo;
class DataControl;
class DataGrid;
class DatePicker;
}

// The staff's window over the student records: search by number, name, class or department,
// browse the students found, edit, save and delete them, and hand over to the new-student
// window, which works on this window's record sets.
class frmsinfgl : public platform::Form {
    Q_OBJECT
public:
    frmsinfgl();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void optXh_Click();
    void optXm_Click();
    void optBj_Click();
    void optXy_Click();
    void cmdFind_Click();
    void cmdFirst_Click();
    void cmdPreive_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void dgdXinf_Click();
    void dgdXinf_KeyDown(int keyCode);

    void cmdAdd_Click();
    void cmdDelet_Click();
    void cmdEdit_Click();
    void cmdUpgrate_Click();
    void cmdClear_Click();
    void cmdDycjd_Click();

    // Begins a new row in rs_Sinf, rs_chufa, rs_award and rs_chengji, in this order: the rows the
    // new-student window fills.
    void beginNewRows();
    // The new-student window's last save has told that the server is gone: coming back, this
    // window does not tell it a second time.
    void setServerLossTold(bool told) { m_lossTold = told; }

    bool isEditing() const { return m_editing; }

    // The record sets that the new-student window writes into and looks its codes up with.
    store::DataControl* rs_Sinf;
    store::DataControl* rs_chengji;
    store::DataControl* rs_award;
    store::DataControl* rs_chufa;
    store::DataControl* rs_Yxe;
    store::DataControl* rs_Bje;
    store::DataControl* rs_Xj;

private:
    void ShowFullNames();
    // ShowFullNames where the window must go on without a current student: empty boxes then.
    void showFullNamesOrNone();
    void clearFullNames();
    void showCount();
    void setFoundButtons(bool found);
    void setEditState(bool editing);
    void showStoredValues();
    void fillEditorsFromRow();
    void refreshStudents();
    void findBy(const QString& statement, QLineEdit* box);
    void findByCode(store::DataControl* list, store::DataCombo* combo, const QString& lookUpHead,
        const QString& codeField, const QString& listStatement, const QString& studentsHead, QString& chosen,
        const QString& missing);

    store::DataControl* rs_Xjl;
    store::DataControl* rs_Yxl;
    store::DataControl* rs_Bjl;
    store::DataControl* rs_Yxc;
    store::DataControl* rs_Bjc;
    store::DataControl* rs_Xjbg;

    SearchFrame* famCx;

    QGroupBox* famLl;
    QPushButton* cmdFirst;
    QPushButton* cmdPreive;
    QPushButton* cmdNext;
    QPushButton* cmdLast;

    store::DataGrid* dgdXinf;

    QGroupBox* famGinf;
    QLineEdit* txtXuehao;
    QLineEdit* txtXinming;
    QLineEdit* txtXb;
    QLineEdit* txtBarth;
    QLineEdit* txtJg;
    QLineEdit* txtYx;
    QLineEdit* txtBj;
    QLineEdit* txtPhone;
    QLineEdit* txtAddress;
    QLineEdit* txtZm;
    QLineEdit* txtXj;
    QPlainTextEdit* txtMemo;
    store::DatePicker* dpkBarth;
    QComboBox* cbmian;
    store::DataCombo* dcbXueyuan;
    store::DataCombo* dcbClass;
    store::DataCombo* dcbXj;

    QGroupBox* famGuanli;
    QPushButton* cmdAdd;
    QPushButton* cmdDelet;
    QPushButton* cmdEdit;
    QPushButton* cmdUpgrate;
    QPushButton* cmdClear;
    QPushButton* cmdDycjd;

    platform::StatusPanels* stb;

    QString m_departmentCode; // found by the last department search
    QString m_classCode;      // found by the last class search
    int m_savedDepartment = 0; // the codes of the last save
    int m_savedClass = 0;
    int m_savedStatus = 0;
    bool m_editing = false;
    bool m_lossTold = false; // see setServerLossTold()
    // What the editors were filled with when editing began.
    struct Filled {
        bool valid = false;
        QVariant political;
        int politicalIndex = -1;
        QString names[3]; // department, class, status: the full names shown
        QVariant codes[3]; // and the codes stored
    } m_filled;
};
