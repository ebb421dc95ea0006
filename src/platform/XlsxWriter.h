#pragma once

#include "PartFile.h"
#include "TableWriter.h"
#include "ZipWriter.h"

#include <QVector>
#include <algorithm>

namespace platform {

// A table as an Excel workbook (.xlsx), streamed: a sheet's rows go out as XML in blocks that a
// thread of their own compresses into the file while the next rows are made, so a result of
// millions of rows costs no more memory than one of ten. Texts are inline strings.
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
    static double displayWidth(QStringView text);

private:
    void newSheet();
    void endSheet();
    QByteArray sheetHead() const;
    void writeText(QStringView text, int column, qsizetype cellStart);
    void flushRows();
    // The rows' XML is written through m_at, which room() keeps ahead of m_end by enough bytes.
    void takeBlock();
    void room(qsizetype bytes);
    template <size_t N>
    void put(const char (&text)[N]) { m_at = std::copy_n(text, N - 1, m_at); }
    void put(const QByteArray& bytes);

    QString m_sheetName;
    PartFile m_part; // written here, moved over the target by finish()
    ZipWriter m_zip;
    QStringList m_captions;
    QVector<QByteArray> m_letters; // the columns' letters: A, B, ... AA ...
    QStringList m_sheetNames;
    QByteArray m_xml; // rows not yet handed to the compressing thread
    char* m_at = nullptr;
    char* m_end = nullptr;
    QVector<double> m_widths;
    int m_row = 0;
    int m_rowsPerSheet = 1048575;
};

} // namespace platform
