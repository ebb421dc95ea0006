#pragma once

#include "platform/Form.h"

class QComboBox;
class frmGly;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// The add-user window: fills in the new row that frmGly has begun in its accounts and stores
// it. It has no record set of its own; frmGly stays hidden while it is open.
class frmglyadd : public platform::Form {
    Q_OBJECT
public:
    frmglyadd();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void cmdSave_Click();
    void cmdClear_Click();
    void txtName_KeyDown(int keyCode);
    void txtPass_KeyDown(int keyCode);

private:
    frmGly* owner() const;
    frmGly* gly() const;
    void freshRow(QWidget* focus);

    QGroupBox* famAdd;
    QLabel* lblName;
    QLabel* lblPass;
    QLabel* lblStyle;
    QLineEdit* txtName;
    QLineEdit* txtPass;
    QComboBox* cbstyle;
    QPushButton* cmdSave;
    QPushButton* cmdClear;
};
