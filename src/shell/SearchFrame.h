#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class QRadioButton;
namespace store {
class DataCombo;
class DataControl;
}

// The search frame "查询" (famCx) of the student and score windows: a student number (optXh,
// txtXh), a name (optXm, txtXm), a class (optBj, dcbBj) or a department (optXy, dcbYx) to find
// by, and "查询(&F)" (cmdFind). Its boxes and lists start locked. Choosing an option prepares
// that option's input; what a search then does is the window's own.
class SearchFrame : public QGroupBox {
    Q_OBJECT
public:
    // The lists offer the full names (全称) of the rows of `classes` and `departments`.
    SearchFrame(QWidget* parent, store::DataControl* classes, store::DataControl* departments);

    // What choosing each option does. The lists that option uses are read again, with no order
    // of their own whatever order they were opened in; its own input is unlocked and every other
    // locked; both boxes are emptied; a box, once unlocked, gets the focus.
    void numberChosen();
    void nameChosen();
    void classChosen();
    void departmentChosen();

    QRadioButton* optXh;
    QLineEdit* txtXh;
    QRadioButton* optXm;
    QLineEdit* txtXm;
    QRadioButton* optBj;
    store::DataCombo* dcbBj;
    QRadioButton* optXy;
    store::DataCombo* dcbYx;
    QPushButton* cmdFind;

private:
    void boxChosen(QLineEdit* chosen, QLineEdit* other);
    void listChosen(store::DataCombo* chosen, const QString& allRows, store::DataCombo* other);
};
