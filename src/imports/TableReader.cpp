#include "TableReader.h"

#include "CsvReader.h"
#include "ReadError.h"
#include "XlsReader.h"
#include "XlsxReader.h"

#include <QFileInfo>

namespace imports {

bool SourceRow::isBlank() const
{
    for (const QVariant& cell : cells)
        if (!cell.isNull() && !(cell.typeId() == QMetaType::QString && cell.toString().trimmed().isEmpty()))
            return false;
    return true;
}

QString encodingName(Encoding encoding) { return encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("GB18030"); }

bool TableReader::accepts(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == "xlsx" || suffix == "xls" || suffix == "csv" || suffix == "txt";
}

QString TableReader::fileFilter()
{
    return QStringLiteral("表格文件 (*.xlsx *.xls *.csv *.txt);;Excel 工作簿 (*.xlsx);;Excel 97-2003 工作簿 (*.xls);;"
                          "CSV 或文本文件 (*.csv *.txt)");
}

std::unique_ptr<TableReader> TableReader::open(const QString& path, std::optional<Encoding> encoding)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw ReadError(QStringLiteral("找不到文件“%1”。").arg(path));
    const QString suffix = info.suffix().toLower();
    if (suffix == "xlsx")
        return std::make_unique<XlsxReader>(path);
    if (suffix == "xls")
        return std::make_unique<XlsReader>(path);
    if (suffix == "csv" || suffix == "txt")
        return std::make_unique<CsvReader>(path, encoding);
    throw ReadError(QStringLiteral("不能导入“%1”：只能导入 Excel 工作簿（.xlsx、.xls）和 CSV 文件（.csv、.txt）。")
            .arg(info.fileName()));
}

} // namespace imports
