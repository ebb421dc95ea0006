#pragma once

#include "platform/Form.h"

class QLabel;
class QPushButton;

// The About box: title and version, and the system-information viewer.
class frmAbout : public platform::Form {
    Q_OBJECT
public:
    frmAbout();

    void Form_Load() override;
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    // Shown beside the main window; it does not keep the program running by itself.
    bool keepsProgramAlive() const override { return false; }

private:
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* Label1;
    QLabel* lblDescription;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
};
