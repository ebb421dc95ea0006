#pragma once

#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
namespace platform {
class StatusPanels;
}
namespace store {
class DataControl;
class DbError;
class DataGrid;
class DatePicker;
}

// What sets the award window and the punishment window apart: their tables and the names and
// texts of the controls that differ.
struct LevelRecordsDesign {
    QString title;
    QString hint;        // lblts1
    QString recordsHint; // lblts2
    QString recordsTable;
    QString levelsTable;
    const char* recordsControl; // the data control of the records
    const char* levelsControl;  // the data control of the levels
    const char* recordsGrid;
    const char* levelsFrame;
    QString levelsFrameTitle;
    const char* levelsGrid;
    const char* codeLabel;
    QString codeCaption;
    const char* codeBox;
    const char* nameLabel;
    QString nameCaption;
    const char* nameBox;
    const char* dateLabel;
    QString dateCaption;
    bool searchBoxesOpenAtLoad; // both search boxes take typing before an option is chosen
};

// The window over one student's award or punishment records: find the student by number or by
// name through a record of theirs, see the records in a grid, and add a record with a level
// picked in the level grid, a date and a remark. Records are only added here, never edited or
// deleted; both grids are read-only.
class LevelRecordsForm : public platform::Form {
    Q_OBJECT
public:
    explicit LevelRecordsForm(const LevelRecordsDesign& design);

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;

    void optXh_Click();
    void optXm_Click();
    void txtXh_KeyDown(int keyCode);
    void txtXm_KeyDown(int keyCode);
    void cmdFind_Click();
    void cmdAdd_Click();
    void cmdUpgrate_Click();
    void cmdClear_Click();

    const QString& currentStudent() const { return m_student; }

protected:
    // The click and the Up/Down keys of the records grid: the student of the row just made current.
    void recordsGrid_Click();
    void recordsGrid_KeyDown(int keyCode);

    store::DataGrid* recordsGrid() const { return m_recordsGrid; }

private:
    void takeCurrentStudent();
    void showCount();
    void searchFailed(const store::DbError& error, QLineEdit* box);
    void notFound(QLineEdit* box);
    void searchRecordsOf(const QString& number);
    void showBrowsing();

    const LevelRecordsDesign m_design;

    store::DataControl* rs_Xinf;
    store::DataControl* m_levels;
    store::DataControl* m_records;

    QLabel* lblts1;
    QGroupBox* famCx;
    QRadioButton* optXh;
    QRadioButton* optXm;
    QLineEdit* txtXh;
    QLineEdit* txtXm;
    QPushButton* cmdFind;
    QGroupBox* faminf;
    QLabel* lblts2;
    store::DataGrid* m_recordsGrid;
    QGroupBox* m_levelsFrame;
    store::DataGrid* m_levelsGrid;
    QGroupBox* famAdd;
    QLineEdit* txtXue;
    QLineEdit* m_codeBox;
    QLineEdit* m_nameBox;
    store::DatePicker* dpkAd;
    QPlainTextEdit* txtMemo;
    QGroupBox* famOper;
    QPushButton* cmdAdd;
    QPushButton* cmdUpgrate;
    QPushButton* cmdClear;
    platform::StatusPanels* stb;

    QString m_student; // the student number last taken from the records
};
