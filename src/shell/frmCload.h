#pragma once

#include "platform/Form.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

// The identity choice at start: staff or student, then the matching sign-in window.
class frmCload : public platform::Form {
    Q_OBJECT
public:
    frmCload();

    void Form_Load() override;
    void cmdOk_Click();
    void cmdExit_Click();

private:
    QRadioButton* optTeacher;
    QGroupBox* famDs;
    QRadioButton* optStudent;
    QPushButton* cmdOk;
    QPushButton* cmdExit;
};
