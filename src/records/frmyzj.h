#pragma once

#include "platform/Form.h"

#include <QStringList>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
namespace store {
class DataCombo;
class DataControl;
}

// The user-defined query: a table offered in 全表名, one of its fields, a comparison and a
// keyword; the search shows the rows in the results window (frmZcj) and hides this one.
class frmyzj : public platform::Form {
    Q_OBJECT
public:
    frmyzj();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void dcbBm_Click();
    void cmdCx_Click();
    void cmdExit_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillFieldList();
    QStringList offeredTables();

    store::DataControl* rs_Abm;
    store::DataControl* rs_Lm;

    QGroupBox* famYzj;
    QGroupBox* famTj;
    store::DataCombo* dcbBm;
    QComboBox* cbLn;
    QComboBox* cbKey;
    QLineEdit* txtTj;
    QPushButton* cmdCx;
    QPushButton* cmdExit;

    QString m_listed; // the table whose fields cbLn lists
};
