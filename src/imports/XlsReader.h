#pragma once

#include "TableReader.h"

namespace imports {

// An Excel 97-2003 workbook (.xls), read by libfreexl. The format keeps a sheet in one piece, and
// so does the library; a sheet holds at most 65,536 rows. Dates come as dates, numbers as numbers.
// A file that is no such workbook, or one with a password, is refused with a text for the user.
class XlsReader : public TableReader {
public:
    explicit XlsReader(const QString& path);
    ~XlsReader() override;

    QStringList sheets() const override { return m_sheetNames; }
    void selectSheet(int index) override;
    bool next(SourceRow& row) override;
    double progress() const override;

private:
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path;
    const void* m_handle = nullptr;
    QStringList m_sheetNames;
    unsigned int m_rows = 0;
    unsigned short m_columns = 0;
    unsigned int m_next = 0;
};

} // namespace imports
