#pragma once

#include "platform/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// What the staff and the student sign-in windows are alike: the name and password boxes, the
// check with its refusals, failure count and limit, the exit question and the keyboard moves.
// A window says where it looks the name up and what a successful sign-in opens.
class SignInForm : public platform::Form {
    Q_OBJECT
public:
    struct Setting {
        QString title;
        QString heading;
        QString picture;       // a resource, or empty for none
        QString lookupName;    // the control name of the look-up data control
        QString loadStatement; // what the look-up holds when the window loads
        QString lookupHead;    // the look-up statement, the name's literal appended
        QString passwordField;
        QString table; // the table the name is looked up in, as sign-ins are recorded
    };

    explicit SignInForm(const Setting& setting);

    void Form_Load() override;
    void cmdok_Click();
    void cmdcancel_Click();
    void txtname_KeyDown(int keyCode);
    void txtpwd_KeyDown(int keyCode);
    void cmdok_KeyDown(int keyCode);

    int failures() const { return m_failures; }

protected:
    // The password matched: the look-up's current row is the account.
    virtual void signedIn() = 0;

    QLineEdit* txtname;
    QLineEdit* txtpwd;
    store::DataControl* lookup;

private:
    void clearBoxes();
    void storeAsHash(const QString& password);

    Setting m_setting;
    QLabel* lbsign;
    QLabel* lbname;
    QLabel* lbpwd;
    QPushButton* cmdok;
    QPushButton* cmdcancel;
    int m_failures = 0;      // wrong passwords so far
    QString m_refusalAnswer; // the answer of the last refusal box
};
