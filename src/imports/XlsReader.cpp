#include "XlsReader.h"

#include "ReadError.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <freexl.h>

namespace imports {

XlsReader::XlsReader(const QString& path)
    : m_path(path)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw ReadError(QStringLiteral("无法读取文件“%1”。").arg(QFileInfo(path).fileName()));
        const QByteArray head = file.peek(8);
        if (head.startsWith("PK\x03\x04"))
            fail(QStringLiteral("它是 Excel 工作簿（.xlsx），请以 .xlsx 为扩展名后再导入。"));
        if (!head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            fail(QStringLiteral("它不是 Excel 97-2003 工作簿（.xls）。"));
    }
    const int rc = freexl_open(QFile::encodeName(path).constData(), &m_handle);
    if (rc != FREEXL_OK) {
        if (rc == FREEXL_BIFF_WORKBOOK_NOT_FOUND)
            fail(QStringLiteral("它不是 Excel 工作簿，或者工作簿已加密。"));
        fail(QStringLiteral("文件不完整或已损坏。"));
    }
    unsigned int info = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        fail(QStringLiteral("工作簿设有密码（已加密），无法读取。请在 Excel 中取消密码并另存后再导入。"));
    unsigned int count = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0)
        fail(QStringLiteral("工作簿中没有工作表。"));
    for (unsigned int i = 0; i < count && i < 65535; ++i) {
        const char* name = nullptr;
        freexl_get_worksheet_name(m_handle, (unsigned short)i, &name);
        m_sheetNames << (name ? QString::fromUtf8(name) : QString());
    }
    selectSheet(0);
}

XlsReader::~XlsReader()
{
    if (m_handle)
        freexl_close(m_handle);
}

void XlsReader::fail(const QString& reason) const
{
    if (m_handle)
        freexl_close(m_handle);
    const_cast<XlsReader*>(this)->m_handle = nullptr;
    throw ReadError(QStringLiteral("不能导入“%1”：%2").arg(QFileInfo(m_path).fileName(), reason));
}

void XlsReader::selectSheet(int index)
{
    if (index < 0 || index >= m_sheetNames.size()
        || freexl_select_active_worksheet(m_handle, (unsigned short)index) != FREEXL_OK
        || freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns) != FREEXL_OK)
        fail(QStringLiteral("无法读取第 %1 个工作表。").arg(index + 1));
    m_next = 0;
}

bool XlsReader::next(SourceRow& row)
{
    while (m_next < m_rows) {
        const unsigned int r = m_next++;
        row.line = int(r) + 1;
        row.cells.fill(QVariant(), m_columns);
        for (unsigned short c = 0; c < m_columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(m_handle, r, c, &value) != FREEXL_OK)
                fail(QStringLiteral("文件不完整或已损坏。"));
            QVariant& cell = row.cells[c];
            switch (value.type) {
            case FREEXL_CELL_INT: cell = double(value.value.int_value); break;
            case FREEXL_CELL_DOUBLE: cell = value.value.double_value; break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT: cell = QString::fromUtf8(value.value.text_value); break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME: {
                const QDate date = QDate::fromString(QString::fromLatin1(value.value.text_value).left(10), Qt::ISODate);
                cell = date.isValid() ? QVariant(date) : QVariant(QString::fromLatin1(value.value.text_value));
                break;
            }
            case FREEXL_CELL_TIME: cell = QString::fromLatin1(value.value.text_value); break;
            default: break;
            }
            if (cell.typeId() == QMetaType::QString && cell.toString().isEmpty())
                cell = QVariant();
        }
        if (!row.isBlank())
            return true;
    }
    return false;
}

double XlsReader::progress() const { return m_rows ? double(m_next) / double(m_rows) : 1.0; }

} // namespace imports
