#include "Importer.h"

#include "CellValue.h"
#include "ReadError.h"

namespace imports {

Importer::Importer(Kind kind, const QString& path, std::optional<Encoding> encoding)
    : m_kind(kind)
    , m_path(path)
    , m_reader(TableReader::open(path, encoding))
{
    readHeader();
}

void Importer::readHeader()
{
    SourceRow header;
    if (!m_reader->next(header))
        throw ReadError(QStringLiteral("文件中没有任何数据。"));
    m_headerLine = header.line;
    QStringList captions;
    for (const QVariant& cell : std::as_const(header.cells))
        captions << CellValue::text(cell);
    m_mapping = ColumnMapping(m_kind, captions);
}

void Importer::setSheet(int index)
{
    m_reader->selectSheet(index);
    m_sheet = index;
    readHeader();
}

void Importer::setEncoding(Encoding encoding)
{
    if (!m_reader->encoding() || *m_reader->encoding() == encoding)
        return;
    m_reader = TableReader::open(m_path, encoding);
    // The captions may read differently now; what the user chose for a column stays where the
    // captions did not change.
    const ColumnMapping before = m_mapping;
    readHeader();
    if (before.captions() == m_mapping.captions())
        m_mapping = before;
}

Plan Importer::check(store::Connection& db, const Progress& progress)
{
    m_reader->selectSheet(m_sheet);
    SourceRow header;
    m_reader->next(header);
    return Checker::check(db, *m_reader, m_mapping, progress);
}

void Importer::forEachRow(const std::function<void(const SourceRow&)>& each)
{
    m_reader->selectSheet(m_sheet);
    SourceRow row;
    m_reader->next(row);
    while (m_reader->next(row))
        each(row);
}

} // namespace imports
