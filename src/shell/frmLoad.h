#pragma once

#include "platform/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// The staff sign-in: a user name and password checked against the staff accounts.
class frmLoad : public platform::Form {
    Q_OBJECT
public:
    frmLoad();

    void Form_Load() override;
    void cmdok_Click();
    void cmdcancel_Click();
    void txtname_KeyDown(int keyCode);
    void txtpwd_KeyDown(int keyCode);
    void cmdok_KeyDown(int keyCode);

    int failures() const { return m_failures; }

private:
    void clearBoxes();

    QLabel* lbsign;
    QLabel* lbname;
    QLabel* lbpwd;
    QLineEdit* txtname;
    QLineEdit* txtpwd;
    QPushButton* cmdok;
    QPushButton* cmdcancel;
    store::DataControl* adcload;

    int m_failures = 0;      // wrong passwords so far
    QString m_refusalAnswer; // the answer of the last refusal box
};
