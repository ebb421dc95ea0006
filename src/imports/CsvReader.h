#pragma once

#include "TableReader.h"

#include <QFile>
#include <QStringDecoder>

namespace imports {

// A CSV or TXT file: fields separated by commas, semicolons or tabs (whichever the first record
// has most of outside quotes), quoted as RFC 4180 says (a quoted field may hold separators, line
// breaks and doubled quotes). The text is UTF-8, with or without a byte-order mark, when all of
// it is valid UTF-8, and GB18030 (of which GBK is a part) otherwise, unless the caller names it.
// The file is read in blocks; a row costs no more than its own length.
class CsvReader : public TableReader {
public:
    explicit CsvReader(const QString& path, std::optional<Encoding> encoding = {});

    QStringList sheets() const override { return { QString() }; }
    void selectSheet(int index) override;
    bool next(SourceRow& row) override;
    double progress() const override;
    std::optional<Encoding> encoding() const override { return m_encoding; }
    QChar separator() const override { return m_separator; }

    // Whether the bytes are valid UTF-8 from start to end, read in blocks. Throws ReadError.
    static bool isUtf8(QFile& file);

private:
    void rewind();
    bool fill();
    bool readRecord(QStringList& fields);
    QChar guessSeparator();

    QString m_path;
    QFile m_file;
    Encoding m_encoding = Encoding::Utf8;
    QChar m_separator = u',';
    QStringDecoder m_decoder;
    QString m_buffer;
    qsizetype m_at = 0;
    bool m_atEnd = false;
    int m_record = 0;
};

} // namespace imports
