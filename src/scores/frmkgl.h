#pragma once

#include "platform/Form.h"

class QGroupBox;
class QPushButton;
namespace store {
class DataControl;
class DataGrid;
}

// The course catalogue in a grid: courses are added, changed and deleted by typing into it.
class frmkgl : public platform::Form {
    Q_OBJECT
public:
    frmkgl();

    void Form_Load() override;
    void Form_Unload() override;

    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdSave_Click();
    void cmdDelet_Click();
    void cmdExit_Click();

private:
    store::DataControl* rs_Kgl;
    QGroupBox* famInf;
    store::DataGrid* dtgGlk;
    QGroupBox* famOption;
    QPushButton* cmdAdd;
    QPushButton* cmdSave;
    QPushButton* cmdEdit;
    QPushButton* cmdDelet;
    QPushButton* cmdExit;
};
