#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
namespace store {
class DataControl;
class DataGrid;
}

// Every student record in one grid, with all the fields of the row chosen in it. It writes
// nothing.
class frmallinf : public platform::Form {
    Q_OBJECT
public:
    frmallinf();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

private:
    store::DataControl* rs_Allinf;
    QGroupBox* famInfa;
    store::DataGrid* dgdInf;
    QGroupBox* famInf;
    QLineEdit* txtXuehao;
    QLineEdit* txtXinming;
    QLineEdit* txtXb;
    QLineEdit* txtCd;
    QLineEdit* txtJg;
    QLineEdit* txtXy;
    QLineEdit* txtClass;
    QLineEdit* txtPhone;
    QLineEdit* txtAddress;
    QLineEdit* txtMian;
    QLineEdit* txtXueji;
    QPlainTextEdit* txtMemo;
};
