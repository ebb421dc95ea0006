#pragma once

#include "platform/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// The student sign-in: a student number and the password kept in the student's own row.
class frmsload : public platform::Form {
    Q_OBJECT
public:
    frmsload();

    void Form_Load() override;
    void cmdok_Click();
    void cmdcancel_Click();
    void txtname_KeyDown(int keyCode);
    void txtpwd_KeyDown(int keyCode);
    void cmdok_KeyDown(int keyCode);

    int failures() const { return m_failures; }

private:
    void clearBoxes();

    QLineEdit* txtname;
    QLineEdit* txtpwd;
    QLabel* lbsign;
    QLabel* lbname;
    QLabel* lbpwd;
    QPushButton* cmdok;
    QPushButton* cmdcancel;
    store::DataControl* rs_Sinf;

    int m_failures = 0;      // wrong passwords so far
    QString m_refusalAnswer; // the answer of the last refusal box
};
