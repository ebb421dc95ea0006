#include "XlsxWriter.h"

#include <QDate>
#include <QDateTime>
#include <charconv>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

constexpr int kMaxText = 32767;     // the most characters a cell holds
constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 60;
// Day 0 of a workbook's dates (1899-12-30), as a Julian day; they are right from 1900-3-1 on.
constexpr qint64 kSerialZero = 2415019;
constexpr qint64 kFirstDay = 2415080; // 1900-3-1
constexpr qint64 kLastDay = 5373484;  // 9999-12-31

// A sheet name: at most 31 characters, none of []:*?/\ and no apostrophe at either end.
QString sheetName(QString name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    for (QChar& c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = u'_';
    name = name.trimmed();
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Sheet");
    return name.left(31);
}

constexpr qsizetype kBlock = 1 << 20;   // XML handed to the compressing thread at once
constexpr qsizetype kSlack = 64 * 1024; // room past a block for the row that ends it
constexpr qsizetype kCellRoom = 96;     // a cell's XML but its text
constexpr int kLevel = 1;               // deflate's fastest: worksheet XML packs well anyway
constexpr qsizetype kHeadPerColumn = 64; // a <col> element at most

int digits(qlonglong n)
{
    int d = n < 0 ? 2 : 1;
    for (n = n < 0 ? -(n / 10) : n / 10; n; n /= 10)
        ++d;
    return d;
}

bool isWide(char16_t u)
{
    return u >= 0x1100
        && (u <= 0x115F || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
            || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6));
}

QByteArray columnLetters(int column)
{
    QByteArray letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(char('A' + (n - 1) % 26));
    return letters;
}

QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

const char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRelationships[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

} // namespace

XlsxWriter::XlsxWriter(const QString& name)
    : m_sheetName(sheetName(name))
{
}

XlsxWriter::~XlsxWriter() { discard(); }

double XlsxWriter::displayWidth(QStringView text)
{
    double width = 0;
    for (const QChar c : text) {
        if (c.isLowSurrogate())
            continue;
        width += (c.isHighSurrogate() || isWide(c.unicode())) ? 2 : 1;
    }
    return width;
}

void XlsxWriter::begin(const QString& path, const QStringList& captions)
{
    discard();
    m_captions = captions;
    m_letters.clear();
    for (int c = 0; c < captions.size(); ++c)
        m_letters << columnLetters(c);
    m_widths.fill(0, captions.size());
    m_sheetNames.clear();

    // The part file reserves a name beside the target: a directory without write permission
    // fails here, before any row is read.
    m_part.create(path);
    m_zip.open(m_part.path(), path);
    newSheet();
}

void XlsxWriter::newSheet()
{
    if (!m_sheetNames.isEmpty())
        endSheet();
    const int number = int(m_sheetNames.size()) + 1;
    QString name = m_sheetName;
    if (number > 1) {
        const QString suffix = QStringLiteral(" (%1)").arg(number);
        name = name.left(31 - suffix.size()) + suffix;
    }
    m_sheetNames << name;
    m_zip.beginEntry("xl/worksheets/sheet" + QByteArray::number(number) + ".xml",
        1024 + kHeadPerColumn * qsizetype(m_captions.size()), kLevel);

    takeBlock();
    put("<sheetData><row r=\"1\">");
    for (int c = 0; c < m_captions.size(); ++c) {
        room(kCellRoom);
        char* const cell = m_at;
        put("<c r=\"");
        put(m_letters[c]);
        put("1\" s=\"1\" t=\"inlineStr\"><is><t");
        writeText(m_captions[c], -1, cell - m_xml.data());
        // A bold header is a little wider than the same text in the rows.
        m_widths[c] = displayWidth(m_captions[c]) * 1.1;
    }
    put("</row>");
    m_row = 0;
}

void XlsxWriter::takeBlock()
{
    m_xml = m_zip.spareBlock();
    if (m_xml.size() < kBlock + kSlack)
        m_xml.resize(kBlock + kSlack);
    m_at = m_xml.data();
    m_end = m_at + m_xml.size();
}

void XlsxWriter::room(qsizetype bytes)
{
    if (m_end - m_at >= bytes)
        return;
    const qsizetype used = m_at - m_xml.data();
    m_xml.resize(used + bytes + kSlack);
    m_at = m_xml.data() + used;
    m_end = m_xml.data() + m_xml.size();
}

void XlsxWriter::put(const QByteArray& bytes)
{
    m_at = std::copy_n(bytes.constData(), bytes.size(), m_at);
}

// The text of an inline string, after "<t": the attribute that keeps its blanks where it needs
// one, the text without what XML cannot carry (NUL and the other controls but tab and breaks),
// cut to what a cell holds, and the cell's end. An empty text takes back the whole cell, from
// `cellStart` on. `column` >= 0 has its width fitted.
void XlsxWriter::writeText(QStringView text, int column, qsizetype cellStart)
{
    const qsizetype n = std::min<qsizetype>(text.size(), kMaxText);
    // Room for the worst case: every unit as "&#13;", and the attribute and the cell's end.
    constexpr char preserve[] = " xml:space=\"preserve\"";
    room(5 * n + 64);
    *m_at++ = '>';
    char* const start = m_at;
    char* out = m_at;
    const char16_t* p = text.utf16();
    bool blanks = false; // a tab, a break or a blank at either end
    double width = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80) {
            width += 1;
            if (u >= 0x20) {
                switch (u) {
                case '<': out = std::copy_n("&lt;", 4, out); break;
                case '>': out = std::copy_n("&gt;", 4, out); break;
                case '&': out = std::copy_n("&amp;", 5, out); break;
                default: *out++ = char(u);
                }
            } else if (u == '\t' || u == '\n') {
                *out++ = char(u);
                blanks = true;
            } else if (u == '\r') {
                out = std::copy_n("&#13;", 5, out);
                blanks = true;
            } else {
                width -= 1;
            }
        } else if (u < 0x800) {
            width += isWide(u) ? 2 : 1;
            *out++ = char(0xC0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            const char32_t code = QChar::surrogateToUcs4(u, p[++i]);
            width += 2;
            *out++ = char(0xF0 | (code >> 18));
            *out++ = char(0x80 | ((code >> 12) & 0x3F));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        } else if (u == 0xFFFE || u == 0xFFFF) {
            continue;
        } else {
            // A surrogate without its other half is not a character: the replacement character.
            const char16_t c = QChar::isSurrogate(u) ? char16_t(0xFFFD) : u;
            width += isWide(c) ? 2 : 1;
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    if (out == start) {
        m_at = m_xml.data() + cellStart;
        return;
    }
    if (blanks || *start == ' ' || out[-1] == ' ') {
        std::memmove(start - 1 + sizeof preserve - 1, start - 1, size_t(out - start + 1));
        std::copy_n(preserve, sizeof preserve - 1, start - 1);
        out += sizeof preserve - 1;
    }
    m_at = std::copy_n("</t></is></c>", 13, out);
    if (column >= 0 && width > m_widths[column])
        m_widths[column] = width;
}

void XlsxWriter::addRow(const QVector<QVariant>& values)
{
    if (m_row >= m_rowsPerSheet)
        newSheet();
    ++m_row;
    char number[16];
    const qsizetype numberSize = std::to_chars(number, number + sizeof number, m_row + 1).ptr - number;
    room(32);
    put("<row r=\"");
    m_at = std::copy_n(number, numberSize, m_at);
    put("\">");
    const int columns = std::min<int>(values.size(), m_widths.size());
    for (int c = 0; c < columns; ++c) {
        const QVariant& value = values[c];
        if (!value.isValid() || value.isNull())
            continue;
        room(kCellRoom);
        char* const cell = m_at;
        put("<c r=\"");
        put(m_letters[c]);
        m_at = std::copy_n(number, numberSize, m_at);
        *m_at++ = '"';
        double width = 0;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort: {
            const qlonglong n = value.toLongLong();
            put("><v>");
            m_at = std::to_chars(m_at, m_at + 24, n).ptr;
            put("</v></c>");
            width = digits(n);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            if (!std::isfinite(d)) {
                // A workbook has no number for it: the cell stays empty.
                m_at = cell;
                continue;
            }
            put("><v>");
            m_at = std::to_chars(m_at, m_at + 32, d).ptr;
            put("</v></c>");
            width = (d == std::floor(d) && std::fabs(d) < 1e15) ? digits(qlonglong(d)) : 10;
            break;
        }
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QDate date = value.typeId() == QMetaType::QDate ? value.toDate() : value.toDateTime().date();
            const qint64 day = date.toJulianDay();
            if (date.isValid() && day >= kFirstDay && day <= kLastDay) {
                put(" s=\"2\"><v>");
                m_at = std::to_chars(m_at, m_at + 24, day - kSerialZero).ptr;
                put("</v></c>");
                width = 10;
            } else {
                // Before 1900-3-1 a workbook has no date: the text the program shows instead.
                put(" t=\"inlineStr\"><is><t");
                writeText(date.toString(QStringLiteral("yyyy-M-d")), c, cell - m_xml.data());
            }
            break;
        }
        default: {
            put(" t=\"inlineStr\"><is><t");
            if (value.typeId() == QMetaType::QString)
                writeText(*static_cast<const QString*>(value.constData()), c, cell - m_xml.data());
            else
                writeText(value.toString(), c, cell - m_xml.data());
            break;
        }
        }
        if (width > m_widths[c])
            m_widths[c] = width;
    }
    room(8);
    put("</row>");
    if (m_at - m_xml.data() >= kBlock)
        flushRows();
}

void XlsxWriter::flushRows()
{
    m_xml.truncate(m_at - m_xml.data());
    m_zip.append(std::move(m_xml));
    takeBlock();
}

QByteArray XlsxWriter::sheetHead() const
{
    QByteArray head = kXmlDeclaration;
    head.append("<worksheet xmlns=\"").append(kMain).append("\" xmlns:r=\"").append(kRelationships).append("\">");
    head.append("<dimension ref=\"A1");
    if (!m_letters.isEmpty())
        head.append(':').append(m_letters.last()).append(QByteArray::number(m_row + 1));
    head.append("\"/>");
    head.append("<sheetViews><sheetView ");
    if (m_sheetNames.size() == 1)
        head.append("tabSelected=\"1\" ");
    head.append("workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
                "<selection pane=\"bottomLeft\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>");
    if (!m_widths.isEmpty()) {
        head.append("<cols>");
        for (int c = 0; c < m_widths.size(); ++c) {
            const QByteArray n = QByteArray::number(c + 1);
            const double width = std::clamp(m_widths[c] + 2, kMinWidth, kMaxWidth);
            head.append("<col min=\"").append(n).append("\" max=\"").append(n).append("\" width=\"")
                .append(QByteArray::number(width, 'f', 2)).append("\" customWidth=\"1\"/>");
        }
        head.append("</cols>");
    }
    return head;
}

void XlsxWriter::endSheet()
{
    room(32);
    put("</sheetData></worksheet>");
    m_xml.truncate(m_at - m_xml.data());
    m_zip.append(std::move(m_xml));
    m_xml = QByteArray();
    m_at = m_end = nullptr;
    m_zip.endEntry(sheetHead());
}

void XlsxWriter::finish()
{
    endSheet();
    const int sheets = int(m_sheetNames.size());
    QByteArray types = kXmlDeclaration;
    types.append("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                 "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                 "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                 "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                 "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>");
    QByteArray book = kXmlDeclaration;
    book.append("<workbook xmlns=\"").append(kMain).append("\" xmlns:r=\"").append(kRelationships).append("\">"
        "<bookViews><workbookView/></bookViews><sheets>");
    QByteArray links = kXmlDeclaration;
    links.append("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (int n = 1; n <= sheets; ++n) {
        const QByteArray number = QByteArray::number(n);
        types.append("<Override PartName=\"/xl/worksheets/sheet").append(number).append(".xml\" ContentType=\""
            "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
        book.append("<sheet name=\"").append(escaped(m_sheetNames[n - 1])).append("\" sheetId=\"").append(number)
            .append("\" r:id=\"rId").append(number).append("\"/>");
        links.append("<Relationship Id=\"rId").append(number).append("\" Type=\"").append(kRelationships)
            .append("/worksheet\" Target=\"worksheets/sheet").append(number).append(".xml\"/>");
    }
    types.append("</Types>");
    book.append("</sheets></workbook>");
    links.append("<Relationship Id=\"rId").append(QByteArray::number(sheets + 1)).append("\" Type=\"").append(kRelationships)
        .append("/styles\" Target=\"styles.xml\"/></Relationships>");

    QByteArray root = kXmlDeclaration;
    root.append("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" Type=\"").append(kRelationships).append("/officeDocument\" Target=\"xl/workbook.xml\"/>"
                "</Relationships>");
    // Three cell styles: the general one, the header's bold, and dates shown 2006-5-19.
    QByteArray styles = kXmlDeclaration;
    styles.append("<styleSheet xmlns=\"").append(kMain).append("\">"
        "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-m-d\"/></numFmts>"
        "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
        "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
        "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>");

    m_zip.add("[Content_Types].xml", types);
    m_zip.add("_rels/.rels", root);
    m_zip.add("xl/workbook.xml", book);
    m_zip.add("xl/_rels/workbook.xml.rels", links);
    m_zip.add("xl/styles.xml", styles);
    m_zip.close();
    m_part.commit();
}

void XlsxWriter::discard()
{
    m_zip.abandon();
    m_xml = QByteArray();
    m_at = m_end = nullptr;
    m_part.discard();
}

} // namespace platform
