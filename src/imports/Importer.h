#pragma once

#include "Applier.h"
#include "ColumnMapping.h"
#include "TableReader.h"

#include <memory>

namespace imports {

// One file being imported, as the import window and `orlenta-db import` both work with it: the
// file opened (the sheet and, for CSV, the encoding chosen), its first row taken as the captions
// and matched to fields, then checked into a plan and applied.
class Importer {
public:
    // Opens the file and reads its header. Throws ReadError.
    Importer(Kind kind, const QString& path, std::optional<Encoding> encoding = {});

    Kind kind() const { return m_kind; }
    const QString& path() const { return m_path; }

    QStringList sheets() const { return m_reader->sheets(); }
    int sheet() const { return m_sheet; }
    // Another sheet: its captions are matched anew. Throws ReadError.
    void setSheet(int index);
    std::optional<Encoding> encoding() const { return m_reader->encoding(); }
    QChar separator() const { return m_reader->separator(); }
    // The file read again in another encoding (CSV only). Throws ReadError.
    void setEncoding(Encoding encoding);

    // The row the captions were taken from.
    int headerLine() const { return m_headerLine; }
    const ColumnMapping& mapping() const { return m_mapping; }
    void setField(int column, Field field) { m_mapping.setField(column, field); }

    // The verdict on every row after the header. Throws ReadError, store::DbError, Cancelled.
    Plan check(store::Connection& db, const Progress& progress = {});
    // Every row after the header again, in order (to write out the rows in error). Throws ReadError.
    void forEachRow(const std::function<void(const SourceRow& row)>& each);

private:
    void readHeader();

    Kind m_kind;
    QString m_path;
    std::unique_ptr<TableReader> m_reader;
    int m_sheet = 0;
    int m_headerLine = 0;
    ColumnMapping m_mapping;
};

} // namespace imports
