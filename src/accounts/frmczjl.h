#pragma once

#include "platform/Form.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class StatusPanels;
}
namespace store {
class DataControl;
class DataGrid;
class DatePicker;
}

// The change record window 操作记录: who changed what and when, newest first, filtered by user,
// table, row key, student number and a range of days. The grid reads the record in blocks like
// every grid and exports through its menu; nothing here can change or delete a record.
//
// Opened from the main window's 系统管理 menu (system administrators only), it returns to the
// main window when closed. Opened beside a work window for the history of one row (showRow), its
// filters stay fixed on that row and closing it goes back to that window.
class frmczjl : public platform::Form {
    Q_OBJECT
public:
    frmczjl();

    void Form_Load() override;
    void Form_Unload() override;
    void chkRq_Click();
    void cmdFind_Click();

    // The history of one row of `table` (its key as text), beside the active window.
    Q_INVOKABLE void showRow(const QString& table, const QString& key);

    // The statement of the current filters (for tests and the search).
    QString statement() const;

private:
    void search();

    store::DataControl* rs_Czjl;
    QGroupBox* famTj;
    QLineEdit* txtYh;
    QComboBox* cbBm;
    QLineEdit* txtJ;
    QLineEdit* txtXh;
    QCheckBox* chkRq;
    store::DatePicker* dpkFd;
    store::DatePicker* dpkTd;
    QPushButton* cmdFind;
    QLabel* lblRow;
    QGroupBox* famJl;
    store::DataGrid* dgdCzjl;
    platform::StatusPanels* stb;
    QPointer<platform::Form> m_opener; // the window of showRow
    bool m_openerGone = false;
};
