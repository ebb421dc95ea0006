#pragma once

#include "platform/Form.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class frmsinfgl;
namespace store {
class DataCombo;
class DataControl;
class DatePicker;
}

// The new-student window: the data of one new student, stored with its placeholder score,
// award and punishment rows. It writes into the four pending new rows of the student
// information window and looks its codes up with that window's record sets; that window is
// loaded, hidden, for as long as this one is open.
class frmAdd : public platform::Form {
    Q_OBJECT
public:
    frmAdd();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void cmdSave_Click();
    void cmdClear_Click();

private:
    frmsinfgl* studentWindow();
    void resetPendingRows(frmsinfgl* owner);

    bool m_lossTold = false; // a save could not reach the server, and that was told

    store::DataControl* rs_Xj;
    store::DataControl* rs_Bj;
    store::DataControl* rs_Yx;

    QGroupBox* famAdd;
    QLineEdit* txtXuehao;
    QLineEdit* txtXinming;
    QComboBox* cbsex;
    store::DatePicker* dpkBarth;
    QComboBox* cbmian;
    store::DataCombo* dcbXj;
    QLineEdit* txtJg;
    store::DataCombo* dcbXueyuan;
    store::DataCombo* dcbClass;
    QLineEdit* txtPhone;
    QLineEdit* txtAddress;
    QPlainTextEdit* txtMemo;

    QGroupBox* famKuang;
    QPushButton* cmdSave;
    QPushButton* cmdClear;
};
