#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
namespace store {
class DataControl;
class DataGrid;
}

// What a signed-in student sees: the own record, read-only, with department, class and
// enrolment status by name; the own scores with a browsing area; the password change.
class frmStudent : public platform::Form {
    Q_OBJECT
public:
    frmStudent();

    void Form_Load() override;
    void Form_Activate() override;
    void cmdFirst_Click();
    void cmdPreive_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdYes_Click();
    void cmdNo_Click();
    void cmdDycjd_Click();

private:
    QLabel* lblAinf;
    QPushButton* cmdDycjd;

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

    QGroupBox* famCj;
    QLineEdit* txtKm;
    QLineEdit* Text1;
    QLineEdit* Text2;
    store::DataGrid* dgdCinf;
    QGroupBox* famLl;
    QPushButton* cmdFirst;
    QPushButton* cmdPreive;
    QPushButton* cmdNext;
    QPushButton* cmdLast;

    QGroupBox* famCm;
    QLabel* lblMm;
    QLineEdit* txtMm;
    QLabel* lblQmm;
    QLineEdit* txtXmm;
    QPushButton* cmdYes;
    QPushButton* cmdNo;

    QGroupBox* famZhuyi;
    QLabel* lblTishi;

    store::DataControl* rs_Infl;
    store::DataControl* rs_Cjl;
    store::DataControl* rs_Yx;
    store::DataControl* rs_Bj;
    store::DataControl* rs_Xj;

    // The codes of the student's row as read on activation; a null text for a null code.
    QString m_yxCode;
    QString m_bjCode;
    QString m_xjCode;
};
