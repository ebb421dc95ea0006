#pragma once

#include "imports/Importer.h"

#include "platform/Form.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QTableView;
class QTableWidget;
namespace store {
class Connection;
}

namespace imports {
class PreviewModel;
}

// The import window: students or scores from an xlsx, xls or CSV file. It shows how the file's
// columns are taken (each can be set to another field or to none), the sheet and, for CSV, the
// encoding, and a preview of every row with its verdict; then imports the rows without errors,
// or nothing while a row is in error, as the user chooses. What it imports is the plan the
// preview shows, never a second judgement.
//
// Opened from the main window's menu after the file is chosen (openFor); closing it brings the
// main window back.
class frmDaoru : public platform::Form {
    Q_OBJECT
public:
    frmDaoru();
    ~frmDaoru() override;

    // Asks for a file and opens the window on it; null when the user cancelled or the file could
    // not be read (told in a message box).
    static platform::Form* openFor(imports::Kind kind);

    // Reads the file and checks it; false when it could not be read (told in a message box).
    bool openFile(imports::Kind kind, const QString& path);

    void Form_Unload() override;
    void cboSheet_Click();
    void cboEncoding_Click();
    void dgdMapping_Change(int column);
    void chkErrors_Click();
    void cmdImport_Click();
    void cmdExport_Click();
    void cmdClose_Click();

    const imports::Plan* plan() const { return m_plan.get(); }
    imports::Importer* importer() const { return m_importer.get(); }
    QTableView* preview() const { return dgdPreview; }

private:
    void showMapping();
    void recheck();
    void showPlan();
    store::Connection& connection();
    bool track(QProgressDialog& dialog, double fraction);

    QLabel* lblFile;
    QLabel* lblSheet;
    QComboBox* cboSheet;
    QLabel* lblEncoding;
    QComboBox* cboEncoding;
    QLabel* lblSeparator;
    QGroupBox* famMapping;
    QTableWidget* dgdMapping;
    QGroupBox* famPreview;
    QTableView* dgdPreview;
    QLabel* lblSummary;
    QCheckBox* chkErrors;
    QRadioButton* optValid;
    QRadioButton* optNothing;
    QPushButton* cmdImport;
    QPushButton* cmdExport;
    QPushButton* cmdClose;

    imports::PreviewModel* m_model;
    std::unique_ptr<imports::Importer> m_importer;
    std::unique_ptr<imports::Plan> m_plan;
    std::shared_ptr<store::Connection> m_connection;
    bool m_filling = false;
};
