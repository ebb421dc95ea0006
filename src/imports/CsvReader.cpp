#include "CsvReader.h"

#include "ReadError.h"

#include <QFileInfo>

namespace imports {

namespace {

constexpr qint64 kBlock = 1 << 20;

QString cannotRead(const QString& path)
{
    return QStringLiteral("无法读取文件“%1”。").arg(QFileInfo(path).fileName());
}

} // namespace

CsvReader::CsvReader(const QString& path, std::optional<Encoding> encoding)
    : m_path(path)
    , m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw ReadError(cannotRead(path));
    // A workbook or another binary file given a text file's name: its first bytes say so.
    const QByteArray head = m_file.peek(8);
    if (head.startsWith("PK\x03\x04") || head.startsWith("\xD0\xCF\x11\xE0") || head.contains('\0'))
        throw ReadError(QStringLiteral("文件“%1”不是文本文件（CSV）。它可能是 Excel 工作簿，请以 .xlsx 或 .xls 为扩展名后再导入。")
                .arg(QFileInfo(path).fileName()));
    m_encoding = encoding ? *encoding : (isUtf8(m_file) ? Encoding::Utf8 : Encoding::Gb18030);
    rewind();
    m_separator = guessSeparator();
    rewind();
}

bool CsvReader::isUtf8(QFile& file)
{
    // A validator of its own: the sequences of RFC 3629 (no overlong forms, no surrogates, nothing
    // above U+10FFFF), carried across blocks.
    file.seek(0);
    int pending = 0;                  // continuation bytes still expected
    unsigned char low = 0x80, high = 0xBF; // the range of the next continuation byte
    QByteArray block;
    while (!(block = file.read(kBlock)).isEmpty()) {
        for (const char ch : std::as_const(block)) {
            const auto b = static_cast<unsigned char>(ch);
            if (pending > 0) {
                if (b < low || b > high)
                    return false;
                low = 0x80;
                high = 0xBF;
                --pending;
                continue;
            }
            if (b < 0x80)
                continue;
            if (b >= 0xC2 && b <= 0xDF) {
                pending = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                pending = 2;
                if (b == 0xE0)
                    low = 0xA0;
                else if (b == 0xED)
                    high = 0x9F;
            } else if (b >= 0xF0 && b <= 0xF4) {
                pending = 3;
                if (b == 0xF0)
                    low = 0x90;
                else if (b == 0xF4)
                    high = 0x8F;
            } else {
                return false;
            }
        }
    }
    if (file.error() != QFileDevice::NoError)
        throw ReadError(cannotRead(file.fileName()));
    return pending == 0;
}

void CsvReader::rewind()
{
    m_file.seek(0);
    m_decoder = m_encoding == Encoding::Utf8 ? QStringDecoder(QStringDecoder::Utf8) : QStringDecoder("GB18030");
    m_buffer.clear();
    m_at = 0;
    m_atEnd = false;
    m_record = 0;
    fill();
    if (m_buffer.startsWith(QChar(0xFEFF)))
        m_at = 1;
}

void CsvReader::selectSheet(int) { rewind(); }

bool CsvReader::fill()
{
    if (m_atEnd)
        return false;
    if (m_at > 0) {
        m_buffer.remove(0, m_at);
        m_at = 0;
    }
    const QByteArray block = m_file.read(kBlock);
    if (block.isEmpty()) {
        if (m_file.error() != QFileDevice::NoError)
            throw ReadError(cannotRead(m_path));
        m_atEnd = true;
        return false;
    }
    m_buffer += m_decoder.decode(block);
    return true;
}

QChar CsvReader::guessSeparator()
{
    // The first record read with each candidate: the one that splits it into most fields wins,
    // a comma when none does.
    QStringList fields;
    QChar best = u',';
    int most = 1;
    for (QChar candidate : { u',', u';', u'\t' }) {
        rewind();
        m_separator = candidate;
        if (readRecord(fields) && fields.size() > most) {
            most = int(fields.size());
            best = candidate;
        }
    }
    return best;
}

bool CsvReader::readRecord(QStringList& fields)
{
    for (;;) {
        fields.clear();
        QString field;
        bool quoted = false;
        bool wasQuoted = false;
        qsizetype i = m_at;
        bool complete = false;
        const qsizetype n = m_buffer.size();
        while (i < n) {
            const QChar c = m_buffer.at(i);
            if (quoted) {
                if (c == u'"') {
                    if (i + 1 >= n && !m_atEnd)
                        break; // is the next one a second quote? more text is needed
                    if (i + 1 < n && m_buffer.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    quoted = false;
                    ++i;
                    continue;
                }
                field += c;
                ++i;
                continue;
            }
            if (c == u'"' && field.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
                ++i;
            } else if (c == m_separator) {
                fields << field;
                field.clear();
                wasQuoted = false;
                ++i;
            } else if (c == u'\r' || c == u'\n') {
                if (c == u'\r') {
                    if (i + 1 >= n && !m_atEnd)
                        break;
                    if (i + 1 < n && m_buffer.at(i + 1) == u'\n')
                        ++i;
                }
                ++i;
                complete = true;
                break;
            } else {
                field += c;
                ++i;
            }
        }
        if (!complete && !m_atEnd) {
            if (fill())
                continue; // the record again, with more of the file
        }
        if (!complete && i >= n && m_atEnd) {
            if (i == m_at && fields.isEmpty() && field.isEmpty())
                return false; // nothing left
            complete = true;
        }
        if (complete) {
            fields << field;
            m_at = i;
            ++m_record;
            return true;
        }
    }
}

bool CsvReader::next(SourceRow& row)
{
    QStringList fields;
    while (readRecord(fields)) {
        row.line = m_record;
        row.cells.resize(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row.cells[i] = fields[i].isEmpty() ? QVariant() : QVariant(fields[i]);
        if (!row.isBlank())
            return true;
    }
    return false;
}

double CsvReader::progress() const
{
    const qint64 size = m_file.size();
    return size > 0 ? double(m_file.pos()) / double(size) : 1.0;
}

} // namespace imports
