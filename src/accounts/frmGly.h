#pragma once

#include "platform/Form.h"

#include <QVariant>

class QGroupBox;
class QPushButton;
namespace store {
class DataControl;
class DataGrid;
}

// The user administration window: every staff account in a grid, with adding (through
// frmglyadd), editing in place, saving, deleting and abandoning.
class frmGly : public platform::Form {
    Q_OBJECT
public:
    frmGly();

    void Form_Load() override;
    void Form_Unload() override;
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdUpdate_Click();
    void cmdDelet_Click();
    void cmdCancel_Click();

    // The accounts; frmglyadd fills in the pending new row of this record set.
    store::DataControl* accounts() const { return rs_gly; }
    // Abandons what the accounts have pending (the new row of frmglyadd, edits in the grid).
    void abandonPending();

private:
    QVariant currentKey();
    void moveToKey(const QVariant& key);

    store::DataControl* rs_gly;
    QGroupBox* famInf;
    store::DataGrid* dtgGly;
    QGroupBox* famOption;
    QPushButton* cmdAdd;
    QPushButton* cmdEdit;
    QPushButton* cmdUpdate;
    QPushButton* cmdDelet;
    QPushButton* cmdCancel;
};
