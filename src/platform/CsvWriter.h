#pragma once

#include "TableWriter.h"

#include <QByteArray>
#include <memory>

class QSaveFile;

namespace platform {

// A table as CSV (RFC 4180): UTF-8 with a byte-order mark, so that a spreadsheet reads Chinese
// right; fields separated by commas, rows ended by CR LF, a field that holds a comma, a quote, a
// line break, a tab or a semicolon quoted, quotes inside doubled. Dates are written 2006-05-19,
// the form spreadsheets take for a date.
//
// A text that a spreadsheet would take for a formula (one starting with =, +, -, @, or a tab or
// carriage return before them) gets a leading apostrophe, so that opening the file runs nothing.
class CsvWriter : public TableWriter {
public:
    CsvWriter();
    ~CsvWriter() override;

    void begin(const QString& path, const QStringList& captions) override;
    void addRow(const QVector<QVariant>& values) override;
    void finish() override;
    void discard() override;

    // One field as it stands in the file (quoted where needed).
    static QByteArray field(const QVariant& value);

private:
    void flush();
    [[noreturn]] void fail();

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    QByteArray m_buffer;
};

} // namespace platform
