#include "XlsxReader.h"

#include "ReadError.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <zip.h>

namespace imports {

namespace {

qint64 gMaxUnpacked = qint64(1) << 30;
constexpr qint64 kBlock = 256 * 1024;

// "AB12" -> 27 (0-based column 27), -1 without letters.
int columnOf(QStringView ref)
{
    int column = 0;
    int letters = 0;
    for (QChar c : ref) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            column = column * 26 + (u - 'A' + 1);
        else if (u >= 'a' && u <= 'z')
            column = column * 26 + (u - 'a' + 1);
        else
            break;
        if (++letters > 3)
            return -1;
    }
    return letters ? column - 1 : -1;
}

// The number part of a text such as 1.0E+3 or 12, as a double (NaN if none).
double numberOf(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : std::nan("");
}

} // namespace

qint64 XlsxReader::maxUnpacked() { return gMaxUnpacked; }
void XlsxReader::setMaxUnpacked(qint64 bytes) { gMaxUnpacked = bytes; }

bool XlsxReader::isDateFormat(int id, const QString& code)
{
    // Excel's built-in date and time formats, the Chinese ones included.
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    // A format of the workbook's own shows a date when, outside quoted texts, escaped characters
    // and [colour]/[$-locale] brackets, it has a day, month, year, hour or second.
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (quoted) {
            quoted = c != u'"';
            continue;
        }
        if (c == u'"') {
            quoted = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i);
            if (end < 0)
                return false;
            const QString inner = code.mid(i + 1, end - i - 1).toLower();
            // [h], [mm], [ss]: an elapsed time, which is still a date-time number.
            if (!inner.isEmpty() && (inner[0] == u'h' || inner[0] == u'm' || inner[0] == u's'))
                return true;
            i = end;
        } else {
            const char16_t l = c.toLower().unicode();
            if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's' || l == u'年' || l == u'月' || l == u'日')
                return true;
            if (l == 'g' && code.mid(i, 7).compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                i += 6;
            else if (l == 'e' || l == '0' || l == '#' || l == '?')
                continue;
        }
    }
    return false;
}

QDate XlsxReader::dateOf(double serial, bool from1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0) // 9999-12-31
        return {};
    const qint64 days = qint64(std::floor(serial + 1e-9));
    if (from1904)
        return QDate(1904, 1, 1).addDays(days);
    if (days < 1)
        return {};
    // The 1900 system counts a 29 February 1900 that never was: day 60.
    if (days == 60)
        return QDate(1900, 2, 28);
    return days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
}

XlsxReader::XlsxReader(const QString& path)
    : m_path(path)
{
    const QString name = QFileInfo(path).fileName();
    bool startsAsZip = false;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw ReadError(QStringLiteral("无法读取文件“%1”。").arg(name));
        const QByteArray head = file.peek(8);
        startsAsZip = head.startsWith("PK\x03\x04");
        if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
            // Excel keeps a workbook with a password in a compound file of its own.
            const QByteArray all = file.read(1 << 20);
            const QByteArray encrypted = QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e", 31);
            if (all.contains(encrypted))
                fail(QStringLiteral("工作簿设有密码（已加密），无法读取。请在 Excel 中取消密码并另存后再导入。"));
            fail(QStringLiteral("它是 Excel 97-2003 工作簿，请以 .xls 为扩展名后再导入。"));
        }
    }
    int error = 0;
    m_zip.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!m_zip) {
        // A zip archive cut short has lost its directory at the end: its first bytes still say zip.
        if (error == ZIP_ER_NOZIP && !startsAsZip)
            fail(QStringLiteral("它不是 Excel 工作簿（.xlsx）。"));
        if (error == ZIP_ER_OPEN || error == ZIP_ER_READ)
            throw ReadError(QStringLiteral("无法读取文件“%1”。").arg(name));
        damaged();
    }
    readWorkbook();
    readStyles();
    readSharedStrings();
    selectSheet(0);
}

XlsxReader::~XlsxReader() = default;

void XlsxReader::Discard::operator()(zip* archive) const { zip_discard(archive); }
void XlsxReader::Discard::operator()(zip_file* entry) const { zip_fclose(entry); }

void XlsxReader::fail(const QString& reason) const
{
    throw ReadError(QStringLiteral("不能导入“%1”：%2").arg(QFileInfo(m_path).fileName(), reason));
}

void XlsxReader::damaged() const { fail(QStringLiteral("文件不完整或已损坏。")); }

void XlsxReader::closeEntry() { m_entry.reset(); }

void XlsxReader::openEntry(const QString& name)
{
    closeEntry();
    m_xml.clear();
    m_entryDone = false;
    m_entryRead = 0;
    const QByteArray entry = name.toUtf8();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(m_zip.get(), entry.constData(), 0, &stat) != 0)
        fail(QStringLiteral("它不是 Excel 工作簿（缺少 %1）。").arg(name));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        fail(QStringLiteral("工作簿已加密，无法读取。"));
    if ((stat.valid & ZIP_STAT_SIZE) && qint64(stat.size) > gMaxUnpacked)
        fail(QStringLiteral("其中的 %1 解压后超过 %2 MB，不像是一个正常的工作簿（可能是“压缩炸弹”）。")
                .arg(name)
                .arg(gMaxUnpacked >> 20));
    m_entrySize = (stat.valid & ZIP_STAT_SIZE) ? qint64(stat.size) : gMaxUnpacked;
    m_entry.reset(zip_fopen(m_zip.get(), entry.constData(), 0));
    if (!m_entry)
        damaged();
}

bool XlsxReader::feed()
{
    if (m_entryDone || !m_entry)
        return false;
    QByteArray block(kBlock, Qt::Uninitialized);
    const zip_int64_t n = zip_fread(m_entry.get(), block.data(), zip_uint64_t(block.size()));
    if (n < 0)
        damaged(); // a CRC that does not match, data cut short
    if (n == 0) {
        m_entryDone = true;
        return false;
    }
    m_entryRead += n;
    // An entry that unpacks to more than it declared is not trusted any further.
    if (m_entryRead > m_entrySize || m_entryRead > gMaxUnpacked)
        fail(QStringLiteral("解压后的内容超过了它声明的大小（可能是“压缩炸弹”）。"));
    block.truncate(qsizetype(n));
    m_xml.addData(block);
    return true;
}

QXmlStreamReader::TokenType XlsxReader::nextToken()
{
    for (;;) {
        const auto token = m_xml.readNext();
        if (!m_xml.hasError())
            return token;
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && feed())
            continue;
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && m_xml.tokenType() == QXmlStreamReader::Invalid
            && m_entryRead == 0)
            damaged();
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            damaged();
        fail(QStringLiteral("工作簿的内容有误（%1）。").arg(m_xml.errorString()));
    }
}

void XlsxReader::readPart(const QString& name, const std::function<void(QXmlStreamReader&)>& each)
{
    openEntry(name);
    for (;;) {
        const auto token = nextToken();
        if (token == QXmlStreamReader::EndDocument)
            break;
        each(m_xml);
    }
    closeEntry();
}

void XlsxReader::readWorkbook()
{
    QStringList ids;
    readPart(QStringLiteral("xl/workbook.xml"), [&](QXmlStreamReader& xml) {
        if (!xml.isStartElement())
            return;
        if (xml.name() == u"workbookPr") {
            const auto value = xml.attributes().value(QLatin1String("date1904"));
            m_1904 = value == u"1" || value == u"true";
        } else if (xml.name() == u"sheet") {
            m_sheetNames << xml.attributes().value(QLatin1String("name")).toString();
            QString id;
            for (const QXmlStreamAttribute& a : xml.attributes())
                if (a.name() == u"id")
                    id = a.value().toString();
            ids << id;
        }
    });
    if (m_sheetNames.isEmpty())
        fail(QStringLiteral("工作簿中没有工作表。"));
    QHash<QString, QString> targets;
    if (zip_name_locate(m_zip.get(), "xl/_rels/workbook.xml.rels", 0) >= 0) {
        readPart(QStringLiteral("xl/_rels/workbook.xml.rels"), [&](QXmlStreamReader& xml) {
            if (xml.isStartElement() && xml.name() == u"Relationship")
                targets.insert(xml.attributes().value(QLatin1String("Id")).toString(),
                    xml.attributes().value(QLatin1String("Target")).toString());
        });
    }
    for (int i = 0; i < ids.size(); ++i) {
        QString target = targets.value(ids[i]);
        if (target.isEmpty())
            target = QStringLiteral("worksheets/sheet%1.xml").arg(i + 1);
        m_sheetParts << (target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target);
    }
}

void XlsxReader::readStyles()
{
    if (zip_name_locate(m_zip.get(), "xl/styles.xml", 0) < 0)
        return;
    QHash<int, QString> codes;
    bool inCellXfs = false;
    readPart(QStringLiteral("xl/styles.xml"), [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            if (xml.name() == u"numFmt")
                codes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                    xml.attributes().value(QLatin1String("formatCode")).toString());
            else if (xml.name() == u"cellXfs")
                inCellXfs = true;
            else if (inCellXfs && xml.name() == u"xf") {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                m_dateStyles << isDateFormat(id, codes.value(id));
            }
        } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    });
}

void XlsxReader::readSharedStrings()
{
    if (zip_name_locate(m_zip.get(), "xl/sharedStrings.xml", 0) < 0)
        return;
    QString text;
    bool inT = false;
    int phonetic = 0;
    readPart(QStringLiteral("xl/sharedStrings.xml"), [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            if (xml.name() == u"si")
                text.clear();
            else if (xml.name() == u"t")
                inT = phonetic == 0;
            else if (xml.name() == u"rPh")
                ++phonetic;
        } else if (xml.isEndElement()) {
            if (xml.name() == u"si")
                m_strings << text;
            else if (xml.name() == u"t")
                inT = false;
            else if (xml.name() == u"rPh")
                --phonetic;
        } else if (xml.isCharacters() && inT) {
            text += xml.text();
        }
    });
}

void XlsxReader::selectSheet(int index)
{
    if (index < 0 || index >= m_sheetParts.size())
        fail(QStringLiteral("工作簿中没有第 %1 个工作表。").arg(index + 1));
    openEntry(m_sheetParts[index]);
    m_lastLine = 0;
    m_sheetEnded = false;
}

bool XlsxReader::next(SourceRow& row)
{
    enum class Type { Number, Shared, Inline, Bool, Text, Error, IsoDate };
    bool inRow = false;
    bool inCell = false;
    bool inValue = false;
    bool inInline = false;
    bool inT = false;
    int phonetic = 0;
    int column = -1;
    int style = 0;
    Type type = Type::Number;
    QString value;
    while (!m_sheetEnded) {
        const auto token = nextToken();
        if (token == QXmlStreamReader::EndDocument) {
            m_sheetEnded = true;
            break;
        }
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = m_xml.name();
            if (name == u"row") {
                inRow = true;
                bool ok = false;
                const int line = m_xml.attributes().value(QLatin1String("r")).toInt(&ok);
                row.line = ok && line > m_lastLine ? line : m_lastLine + 1;
                row.cells.clear();
                column = -1;
            } else if (inRow && name == u"c") {
                inCell = true;
                const auto attrs = m_xml.attributes();
                const int at = columnOf(attrs.value(QLatin1String("r")));
                column = at >= 0 ? at : column + 1;
                style = attrs.value(QLatin1String("s")).toInt();
                const QStringView t = attrs.value(QLatin1String("t"));
                type = t == u"s"       ? Type::Shared
                    : t == u"inlineStr" ? Type::Inline
                    : t == u"b"         ? Type::Bool
                    : t == u"str"       ? Type::Text
                    : t == u"e"         ? Type::Error
                    : t == u"d"         ? Type::IsoDate
                                        : Type::Number;
                value.clear();
            } else if (inCell && name == u"v") {
                inValue = true;
            } else if (inCell && name == u"is") {
                inInline = true;
            } else if (inInline && name == u"t") {
                inT = phonetic == 0;
            } else if (inInline && name == u"rPh") {
                ++phonetic;
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (inValue || inT)
                value += m_xml.text();
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = m_xml.name();
            if (name == u"v") {
                inValue = false;
            } else if (name == u"t") {
                inT = false;
            } else if (name == u"rPh") {
                --phonetic;
            } else if (name == u"is") {
                inInline = false;
            } else if (name == u"c" && inCell) {
                inCell = false;
                if (column < 0 || column > 16383)
                    fail(QStringLiteral("工作表中有超出范围的单元格。"));
                QVariant cell;
                switch (type) {
                case Type::Shared: {
                    bool ok = false;
                    const int index = value.toInt(&ok);
                    if (!ok || index < 0 || index >= m_strings.size())
                        fail(QStringLiteral("工作表引用了不存在的共享字符串。"));
                    cell = m_strings[index];
                    break;
                }
                case Type::Inline:
                case Type::Text:
                case Type::Error: cell = value; break;
                case Type::Bool: cell = value.trimmed() == u"1" || value.trimmed() == u"true"; break;
                case Type::IsoDate: {
                    const QDate date = QDate::fromString(value.left(10), Qt::ISODate);
                    cell = date.isValid() ? QVariant(date) : QVariant(value);
                    break;
                }
                case Type::Number: {
                    if (value.trimmed().isEmpty())
                        break;
                    const double number = numberOf(value);
                    if (std::isnan(number)) {
                        cell = value;
                    } else if (style >= 0 && style < m_dateStyles.size() && m_dateStyles[style]) {
                        const QDate date = dateOf(number, m_1904);
                        cell = date.isValid() ? QVariant(date) : QVariant(number);
                    } else {
                        cell = number;
                    }
                    break;
                }
                }
                if (cell.isValid() && !(cell.typeId() == QMetaType::QString && cell.toString().isEmpty())) {
                    if (row.cells.size() <= column)
                        row.cells.resize(column + 1);
                    row.cells[column] = cell;
                }
            } else if (name == u"row" && inRow) {
                inRow = false;
                m_lastLine = row.line;
                if (!row.isBlank())
                    return true;
            } else if (name == u"sheetData") {
                m_sheetEnded = true;
            }
        }
    }
    closeEntry();
    return false;
}

double XlsxReader::progress() const
{
    if (m_sheetEnded || m_entrySize <= 0)
        return 1.0;
    return std::min(1.0, double(m_entryRead) / double(m_entrySize));
}

} // namespace imports
