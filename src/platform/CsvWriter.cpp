#include "CsvWriter.h"

#include <QDate>
#include <QDateTime>
#include <QSaveFile>
#include <charconv>
#include <cmath>

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

// A tab or a semicolon too: spreadsheets' import dialogs split on them by default.
bool needsQuotes(char c) { return c == ',' || c == '"' || c == '\n' || c == '\r' || c == '\t' || c == ';'; }

QByteArray quoted(const QByteArray& text)
{
    bool needs = false;
    for (const char c : text)
        if (needsQuotes(c)) {
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

void appendWhole(QByteArray& out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// A number as QByteArray::number(value, 'g', 15) writes it. A value of at most two decimals (a
// score, a credit) is written directly, several times faster: a large export has one in every row.
void appendNumber(QByteArray& out, double value)
{
    if (std::isfinite(value) && !(value == 0 && std::signbit(value)) && std::fabs(value) < 1e13) {
        const double hundredths = value * 100;
        if (hundredths == std::floor(hundredths)) {
            const qint64 n = qint64(hundredths);
            const qint64 whole = n / 100, part = std::llabs(n % 100);
            if (n < 0 && whole == 0)
                out += '-';
            appendWhole(out, whole);
            if (part != 0) {
                out += '.';
                out += char('0' + part / 10);
                if (part % 10 != 0)
                    out += char('0' + part % 10);
            }
            return;
        }
    }
    out += QByteArray::number(value, 'g', 15);
}

// A text as UTF-8, quoted where needed. Plain ASCII (a student's number, a course's code) is
// copied across without a text of its own.
void appendText(QByteArray& out, QStringView text)
{
    bool plain = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || needsQuotes(char(u))) {
            plain = false;
            break;
        }
    }
    if (plain) {
        const qsizetype at = out.size();
        out.resize(at + text.size());
        char* p = out.data() + at;
        for (const QChar c : text)
            *p++ = char(c.unicode());
        return;
    }
    out += quoted(text.toUtf8());
}

void appendField(QByteArray& out, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: appendWhole(out, value.toLongLong()); return;
    case QMetaType::Double:
    case QMetaType::Float: appendNumber(out, value.toDouble()); return;
    case QMetaType::QDate: {
        const QDate date = value.toDate();
        int year = 0, month = 0, day = 0;
        date.getDate(&year, &month, &day);
        if (date.isValid() && year >= 1000 && year <= 9999) {
            const char text[10] = { char('0' + year / 1000), char('0' + year / 100 % 10), char('0' + year / 10 % 10),
                char('0' + year % 10), '-', char('0' + month / 10), char('0' + month % 10), '-', char('0' + day / 10),
                char('0' + day % 10) };
            out.append(text, sizeof text);
            return;
        }
        out += date.toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
        return;
    }
    case QMetaType::QDateTime: out += value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd")).toUtf8(); return;
    case QMetaType::QString: {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (!looksLikeFormula(text)) {
            appendText(out, text);
            return;
        }
        break;
    }
    default: break;
    }
    const QString text = value.toString();
    appendText(out, looksLikeFormula(text) ? QStringLiteral("'") + text : text);
}

} // namespace

CsvWriter::CsvWriter() = default;
CsvWriter::~CsvWriter() { discard(); }

QByteArray CsvWriter::field(const QVariant& value)
{
    QByteArray out;
    appendField(out, value);
    return out;
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
        appendField(m_buffer, values[i]);
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
