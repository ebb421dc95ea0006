#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// The school's settings, kept in the database so that every workstation prints the same
// transcript: the school's name (the transcript's heading) and the office that issues it.
// Opened by system administrators from the main window's 系统管理 menu.
class frmXxsz : public platform::Form {
    Q_OBJECT
public:
    frmXxsz();

    void Form_Load() override;
    void Form_Unload() override;
    void cmdSave_Click();
    void cmdClose_Click();

private:
    QGroupBox* famXx;
    QLabel* lblXxmc;
    QLabel* lblQfdw;
    QLabel* lblTishi;
    QLineEdit* txtXxmc;
    QLineEdit* txtQfdw;
    QPushButton* cmdSave;
    QPushButton* cmdClose;
    store::DataControl* rs_Xxsz;
};
