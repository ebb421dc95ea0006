#include "CsvWriter.h"

#include <QDate>
#include <QDateTime>
#include <QSaveFile>

namespace platform {

namespace {

constexpr int kFlushAt = 1 << 20;

// What a spreadsheet would evaluate when the text is the whole cell.
bool looksLikeFormula(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.at(0);
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r';
}

QByteArray quoted(const QByteArray& text)
{
    bool needs = false;
    for (const char c : text)
        // A tab or a semicolon too: spreadsheets' import dialogs split on them by default.
        if (c == ',' || c == '"' || c == '\n' || c == '\r' || c == '\t' || c == ';') {
            needs = true;
            break;
        }
    if (!needs)
        return text;
    QByteArray out;
    out.reserve(text.size() + 8);
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

CsvWriter::CsvWriter() = default;
CsvWriter::~CsvWriter() { discard(); }

QByteArray CsvWriter::field(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: return QByteArray::number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: return QByteArray::number(value.toDouble(), 'g', 15);
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
    case QMetaType::QDateTime: return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
    default: break;
    }
    const QString text = value.toString();
    return quoted(looksLikeFormula(text) ? (QStringLiteral("'") + text).toUtf8() : text.toUtf8());
}

void CsvWriter::begin(const QString& path, const QStringList& captions)
{
    discard();
    m_path = path;
    m_file = std::make_unique<QSaveFile>(path);
    if (!m_file->open(QIODevice::WriteOnly))
        fail();
    m_buffer.reserve(kFlushAt + 4096);
    m_buffer = QByteArray("\xEF\xBB\xBF");
    QVector<QVariant> header;
    header.reserve(captions.size());
    for (const QString& caption : captions)
        header << caption;
    addRow(header);
}

void CsvWriter::addRow(const QVector<QVariant>& values)
{
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_buffer += ',';
        m_buffer += field(values[i]);
    }
    m_buffer += "\r\n";
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void CsvWriter::flush()
{
    if (!m_file)
        return;
    if (!m_buffer.isEmpty() && m_file->write(m_buffer) != m_buffer.size())
        fail();
    m_buffer.clear();
}

void CsvWriter::finish()
{
    flush();
    if (!m_file->commit())
        fail();
    m_file.reset();
}

void CsvWriter::discard()
{
    if (m_file)
        m_file->cancelWriting(); // the file beside it goes with the object
    m_file.reset();
    m_buffer.clear();
}

void CsvWriter::fail()
{
    const QString reason = m_file ? m_file->errorString() : QString();
    discard();
    throw WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(m_path, reason));
}

} // namespace platform
