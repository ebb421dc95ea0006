#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace imports {

// One row of a file: its number as the user sees it (the spreadsheet's row number, or the
// record's number in a CSV file, the header being row 1) and its cells. A cell is a QString, a
// double, a bool, a QDate or null (empty or missing).
struct SourceRow {
    int line = 0;
    QVector<QVariant> cells;

    bool isBlank() const;
};

// What the text of a CSV file is written in.
enum class Encoding { Utf8, Gb18030 };
QString encodingName(Encoding encoding);

// Reads a table from a file row by row, holding no more than a row and a block of the file.
// Every failure throws ReadError with a text for the user.
class TableReader {
public:
    virtual ~TableReader() = default;

    // Opens the file by its ending (.xlsx, .xls, .csv or .txt). A CSV file's encoding is found
    // from its bytes unless `encoding` names it. Throws ReadError.
    static std::unique_ptr<TableReader> open(const QString& path, std::optional<Encoding> encoding = {});
    // Whether open() takes a file with this name.
    static bool accepts(const QString& path);
    // The file dialog's filter for the kinds above.
    static QString fileFilter();

    // The workbook's sheets in order (one, unnamed, for a CSV file).
    virtual QStringList sheets() const = 0;
    // Starts again at the first row of the given sheet (0 at first).
    virtual void selectSheet(int index) = 0;
    // The next row that is not blank; false at the end.
    virtual bool next(SourceRow& row) = 0;
    // How far through the file reading is, from 0 to 1 (for progress).
    virtual double progress() const = 0;

    // A CSV file's encoding and separator; workbooks have neither.
    virtual std::optional<Encoding> encoding() const { return std::nullopt; }
    virtual QChar separator() const { return {}; }
};

} // namespace imports
