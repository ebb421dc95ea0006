#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace store {
class DataControl;
class DataGrid;
class DatePicker;
}

// The status query window: the recorded changes of the students' enrolment status, each with
// the full name of its status, for a range of dates or for one student. A change can be
// corrected in the grid; the full name of the status cannot.
class frmXjgl : public platform::Form {
    Q_OBJECT
public:
    frmXjgl();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void optDate_Click();
    void optXh_Click();
    void cmdFind_Click();

private:

    store::DataControl* rs_Xueji;

    QGroupBox* famInf;
    QRadioButton* optDate;
    store::DatePicker* dpkFd;
    store::DatePicker* dpkTd;
    QRadioButton* optXh;
    QLineEdit* txtXh;
    QPushButton* cmdFind;
    QLabel* lblts1;
    QGroupBox* famInfor;
    store::DataGrid* dgdXj;
};
