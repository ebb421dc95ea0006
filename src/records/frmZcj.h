#pragma once

#include "platform/Form.h"

class QGroupBox;
class QPushButton;
namespace store {
class DataControl;
class DataGrid;
}

// The results of the user-defined query: the rows of the built statement in a read-only grid,
// with buttons to move through them.
class frmZcj : public platform::Form {
    Q_OBJECT
public:
    frmZcj();

    void Form_Load() override;
    void Form_Unload() override;

    void cmdFirst_Click();
    void cmdPreive_Click();
    void cmdNext_Click();
    void cmdLast_Click();

    store::DataControl* rs_Zdc;

private:
    QGroupBox* famInf;
    store::DataGrid* DataGrid1;
    QGroupBox* famLl;
    QPushButton* cmdFirst;
    QPushButton* cmdPreive;
    QPushButton* cmdNext;
    QPushButton* cmdLast;
};
