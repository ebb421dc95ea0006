#include "XlsxWriter.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <xlsxwriter.h>

namespace platform {

namespace {

constexpr int kMaxText = 32767;     // the most characters a cell holds
constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 60;
const QDate kSerialZero(1899, 12, 30); // day 0 of a workbook's dates, from 1900-3-1 on

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

// Characters that XML cannot carry are left out (NUL and the other controls but tab and breaks).
QString cellText(const QString& text)
{
    QString out = text.left(kMaxText);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out.at(i).unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF)
            out.remove(i--, 1);
    }
    return out;
}

int digits(qlonglong n)
{
    int d = n < 0 ? 2 : 1;
    for (n = n < 0 ? -(n / 10) : n / 10; n; n /= 10)
        ++d;
    return d;
}

// The worksheets of a workbook keep their rows in a temporary file each; abandoning the workbook
// must close them (lxw_workbook_free does not).
void closeSheetFiles(lxw_workbook* book)
{
    lxw_worksheet* sheet;
    STAILQ_FOREACH(sheet, book->worksheets, list_pointers)
    {
        if (sheet->optimize_tmpfile) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
            sheet->file = nullptr;
        }
    }
}

} // namespace

XlsxWriter::XlsxWriter(const QString& name)
    : m_sheetName(sheetName(name))
{
}

XlsxWriter::~XlsxWriter() { discard(); }

double XlsxWriter::displayWidth(const QString& text)
{
    double width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (c.isLowSurrogate())
            continue;
        width += (u >= 0x1100 && (u <= 0x115F || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                      || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                      || (u >= 0xFFE0 && u <= 0xFFE6) || c.isHighSurrogate()))
            ? 2
            : 1;
    }
    return width;
}

void XlsxWriter::begin(const QString& path, const QStringList& captions)
{
    discard();
    m_path = path;
    m_captions = captions;
    m_widths.fill(0, captions.size());
    m_sheets = 0;

    // The part file reserves a name beside the target: a directory without write permission
    // fails here, before any row is read.
    m_part.create(path);

    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(m_part.path());
    m_book = workbook_new_opt(file.constData(), &options);
    if (!m_book)
        fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    m_bold = workbook_add_format(m_book);
    format_set_bold(m_bold);
    m_date = workbook_add_format(m_book);
    format_set_num_format(m_date, "yyyy-m-d");
    newSheet();
}

void XlsxWriter::newSheet()
{
    if (m_sheet)
        fitColumns();
    ++m_sheets;
    QString name = m_sheetName;
    if (m_sheets > 1) {
        const QString suffix = QStringLiteral(" (%1)").arg(m_sheets);
        name = name.left(31 - suffix.size()) + suffix;
    }
    const QByteArray utf8 = name.toUtf8();
    m_sheet = workbook_add_worksheet(m_book, utf8.constData());
    if (!m_sheet)
        fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    worksheet_freeze_panes(m_sheet, 1, 0);
    for (int c = 0; c < m_captions.size(); ++c) {
        const QByteArray caption = cellText(m_captions[c]).toUtf8();
        if (const lxw_error e = worksheet_write_string(m_sheet, 0, lxw_col_t(c), caption.constData(), m_bold))
            fail(e);
        // A bold header is a little wider than the same text in the rows.
        m_widths[c] = displayWidth(m_captions[c]) * 1.1;
    }
    m_row = 0;
}

void XlsxWriter::addRow(const QVector<QVariant>& values)
{
    if (m_row >= m_rowsPerSheet)
        newSheet();
    const lxw_row_t row = lxw_row_t(++m_row);
    const int columns = std::min<int>(values.size(), m_widths.size());
    for (int c = 0; c < columns; ++c) {
        const QVariant& value = values[c];
        if (!value.isValid() || value.isNull())
            continue;
        lxw_error e = LXW_NO_ERROR;
        double width = 0;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort: {
            const qlonglong n = value.toLongLong();
            e = worksheet_write_number(m_sheet, row, lxw_col_t(c), double(n), nullptr);
            width = digits(n);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            e = worksheet_write_number(m_sheet, row, lxw_col_t(c), d, nullptr);
            width = (d == std::floor(d) && std::fabs(d) < 1e15) ? digits(qlonglong(d)) : 10;
            break;
        }
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QDate date = value.typeId() == QMetaType::QDate ? value.toDate() : value.toDateTime().date();
            if (date >= QDate(1900, 3, 1) && date.year() <= 9999) {
                e = worksheet_write_number(m_sheet, row, lxw_col_t(c), double(kSerialZero.daysTo(date)), m_date);
                width = 10;
            } else {
                // Before 1900-3-1 a workbook has no date: the text the program shows instead.
                const QByteArray text = date.toString(QStringLiteral("yyyy-M-d")).toUtf8();
                e = worksheet_write_string(m_sheet, row, lxw_col_t(c), text.constData(), nullptr);
                width = text.size();
            }
            break;
        }
        default: {
            const QString text = cellText(value.toString());
            if (text.isEmpty())
                continue;
            const QByteArray utf8 = text.toUtf8();
            e = worksheet_write_string(m_sheet, row, lxw_col_t(c), utf8.constData(), nullptr);
            width = utf8.size() == text.size() ? text.size() : displayWidth(text);
            break;
        }
        }
        if (e != LXW_NO_ERROR)
            fail(e);
        if (width > m_widths[c])
            m_widths[c] = width;
    }
}

void XlsxWriter::fitColumns()
{
    for (int c = 0; c < m_widths.size(); ++c)
        worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), std::clamp(m_widths[c] + 2, kMinWidth, kMaxWidth), nullptr);
}

void XlsxWriter::finish()
{
    fitColumns();
    lxw_workbook* book = m_book;
    m_book = nullptr;
    m_sheet = nullptr;
    const lxw_error e = workbook_close(book); // frees the workbook, written or not
    if (e != LXW_NO_ERROR) {
        const QString reason = QString::fromUtf8(lxw_strerror(e));
        discard();
        throw WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(m_path, reason));
    }
    m_part.commit();
}

void XlsxWriter::discard()
{
    if (m_book) {
        closeSheetFiles(m_book);
        lxw_workbook_free(m_book);
        m_book = nullptr;
    }
    m_sheet = nullptr;
    m_part.discard();
}

void XlsxWriter::fail(int error)
{
    const QString reason = QString::fromUtf8(lxw_strerror(lxw_error(error)));
    discard();
    throw WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(m_path, reason));
}

} // namespace platform
