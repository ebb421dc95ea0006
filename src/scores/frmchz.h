#pragma once

#include "platform/Form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class StatusPanels;
}
namespace store {
class DataCombo;
class DataControl;
class DataGrid;
class DatePicker;
}

// Score totals over a range of examination dates: total score, average score and total credits
// of one student, of the students of one class, or of one student within one class. It only
// reads.
class frmchz : public platform::Form {
    Q_OBJECT
public:
    frmchz();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void cmdChose_Click();
    void cmdClear_Click();
    void chkXh_Click();
    void chkClass_Click();
    void cmdCancel_Click();
    void cmdHz_Click();
    void cmdFbt_Click();

private:
    void showCount();
    void rereadClasses();

    store::DataControl* rs_Cj;
    store::DataControl* rs_Bm;
    store::DataControl* rs_Lc;

    QGroupBox* famCdate;
    QLabel* lblF;
    store::DatePicker* dpkFd;
    QLabel* lblT;
    store::DatePicker* dpkTd;
    QPushButton* cmdChose;
    QPushButton* cmdClear;

    QGroupBox* famTj;
    QCheckBox* chkXh;
    QLineEdit* txtXh;
    QCheckBox* chkClass;
    store::DataCombo* dcbClass;

    QGroupBox* famInf;
    store::DataGrid* dgdCj;
    QPushButton* cmdCancel;
    QPushButton* cmdHz;
    QPushButton* cmdFbt;

    platform::StatusPanels* stb;

    QString m_covers; // what the grid's rows are: all scores, or the summary's student, class and dates
};
