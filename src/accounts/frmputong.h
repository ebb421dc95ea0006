#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace store {
class DataControl;
}

// The password change of the signed-in staff user's own account.
class frmputong : public platform::Form {
    Q_OBJECT
public:
    frmputong();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void cmdYes_Click();
    void cmdNo_Click();
    void txtMm_KeyDown(int keyCode);
    void txtXmm_KeyDown(int keyCode);

private:

    QGroupBox* famInf;
    QLabel* lblName;
    QLabel* lblMm;
    QLabel* lblQmm;
    QLineEdit* txtName;
    QLineEdit* txtMm;
    QLineEdit* txtXmm;
    QPushButton* cmdNo;
    QPushButton* cmdYes;
    store::DataControl* rs_Shenfen;
};
