#pragma once

#include <QDate>
#include <QString>
#include <QVector>
#include <functional>

class QWidget;

namespace store {

class DataGrid;

// Exporting what a grid holds: every row of its record set (not only those on screen), with the
// grid's column captions as the header row and its columns in the grid's order, into an Excel
// workbook or a CSV file. Every grid offers it in its context menu (right click or the Menu key).
//
// The rows are read through DataControl::forEachRow: in large blocks by key, without moving the
// grid's current row or disturbing what it has cached.
class GridExport {
public:
    enum class Format { Xlsx, Csv };

    // Puts the two entries into the grid's context menu.
    static void attach(DataGrid* grid);

    // A column of the export: the record set's field and the caption the grid shows over it.
    struct Column {
        int field;
        QString caption;
    };
    // The columns the grid shows, in the order it shows them; a password column (pwd, 密码)
    // never.
    static QVector<Column> columns(const DataGrid* grid);

    // Writes the grid's whole result to `path` and answers the rows written. `progress(rows done,
    // rows in all)` is called every block of rows; when it answers false the export stops, no
    // file is left, and write() answers -1. An existing file of that name is replaced only by a
    // finished export. Throws platform::WriteError or DbError.
    static int write(DataGrid* grid, const QString& path, Format format,
        const std::function<bool(int done, int total)>& progress = {});

    // The context menu's entry: asks for the file (offering the window's title and the date),
    // exports with a progress dialog that can be cancelled, and tells a failure in a message box.
    static void exportFromMenu(DataGrid* grid, Format format);

    // The file name offered: the window's title and the day, e.g. 学生成绩管理窗体_2025-06-03.xlsx.
    static QString proposedName(const QString& title, Format format, const QDate& day);

    // The rows a spreadsheet opens of a CSV file, header included: 1,048,576. A longer CSV export
    // asks first and points to the workbook. The tests make it smaller.
    static int spreadsheetRows();
    static void setSpreadsheetRows(int rows);

    // The width a window needs to show its whole title in a title bar.
    static int titleWidth(const QWidget* window, const QString& title);
};

} // namespace store
