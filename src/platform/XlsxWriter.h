#pragma once

#include "PartFile.h"
#include "TableWriter.h"

#include <QVector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace platform {

// A table as an Excel workbook (.xlsx), written by libxlsxwriter in its constant-memory mode: a
// row is on disk as soon as the next one begins, so a result of millions of rows costs no more
// memory than one of ten.
//
// Numbers are numbers, dates are dates shown 2006-5-19, texts stay texts (a number written as
// text, such as a student number 0012, keeps its leading zeros). The header row is bold and
// frozen, and every column is as wide as its widest value, a Chinese character counting twice.
// A table longer than one sheet (1,048,576 rows with its header) goes on over further sheets,
// each with the header again.
class XlsxWriter : public TableWriter {
public:
    // sheetName: the name of the first sheet (shortened and cleaned to what a sheet name may be);
    // further sheets add " (2)", " (3)"...
    explicit XlsxWriter(const QString& sheetName = QStringLiteral("Sheet1"));
    ~XlsxWriter() override;

    void begin(const QString& path, const QStringList& captions) override;
    void addRow(const QVector<QVariant>& values) override;
    void finish() override;
    void discard() override;

    // Rows that one sheet holds below its header (the tests make it smaller).
    void setRowsPerSheet(int rows) { m_rowsPerSheet = rows; }

    // The width of a text in the units of a column width: a wide (Chinese) character counts two.
    static double displayWidth(const QString& text);

private:
    void newSheet();
    void fitColumns();
    [[noreturn]] void fail(int error);

    QString m_sheetName;
    QString m_path;
    PartFile m_part; // written here, moved to m_path by finish()
    QStringList m_captions;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_date = nullptr;
    QVector<double> m_widths;
    int m_sheets = 0;
    int m_row = 0;
    int m_rowsPerSheet = 1048575;
};

} // namespace platform
