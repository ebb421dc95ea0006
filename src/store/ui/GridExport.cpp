#include "GridExport.h"

#include "DataGrid.h"

#include "../DataControl.h"
#include "../DbError.h"
#include "platform/CsvWriter.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/XlsxWriter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QProgressDialog>
#include <QStandardPaths>
#include <memory>

namespace store {

namespace {

using platform::MsgBox;

constexpr int kProgressEvery = 1000; // rows between two looks at the progress dialog

// The rows a spreadsheet opens of a CSV file, its header included.
int g_spreadsheetRows = 1048576;

// A column that holds passwords is never exported: an export is the file that gets mailed round.
bool isPassword(const QString& name)
{
    const QString n = name.trimmed();
    return n.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0 || n == QStringLiteral("密码");
}

struct FormatText {
    const char* menu;
    const char* caption;
    const char* filter;
    const char* suffix;
};

FormatText texts(GridExport::Format format)
{
    if (format == GridExport::Format::Xlsx)
        return { "导出为 Excel 工作簿(.xlsx)…", "导出为 Excel 工作簿", "Excel 工作簿 (*.xlsx)", "xlsx" };
    return { "导出为 CSV 文件(.csv)…", "导出为 CSV 文件", "CSV 文件 (*.csv)", "csv" };
}

// Where the next export is offered: the folder of the last one in this run, at first the
// user's documents.
QString& lastFolder()
{
    static QString folder;
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    return folder;
}

} // namespace

int GridExport::titleWidth(const QWidget* window, const QString& title)
{
    // The title bar's font is the window manager's, commonly larger and bolder than the
    // window's own; a fifth more, and room for the icon and the three buttons.
    return window->fontMetrics().horizontalAdvance(title) * 6 / 5 + 4 * window->fontMetrics().height() + 64;
}

void GridExport::attach(DataGrid* grid)
{
    const std::pair<Format, const char*> entries[] = { { Format::Xlsx, "mnuExportXlsx" }, { Format::Csv, "mnuExportCsv" } };
    for (const auto& [format, name] : entries) {
        auto* action = new QAction(QString::fromUtf8(texts(format).menu), grid);
        action->setObjectName(QString::fromLatin1(name));
        QObject::connect(action, &QAction::triggered, grid, [grid, format = format] { exportFromMenu(grid, format); });
        grid->addAction(action);
    }
    // Right click and the Menu key both show the grid's actions.
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QVector<GridExport::Column> GridExport::columns(const DataGrid* grid)
{
    QVector<Column> out;
    const QHeaderView* header = grid->horizontalHeader();
    const QAbstractItemModel* model = grid->model();
    if (!model)
        return out;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || grid->isColumnHidden(logical))
            continue;
        const QString caption = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
        const DataControl* data = grid->dataSource();
        if (isPassword(caption) || (data && isPassword(data->fieldName(logical))))
            continue;
        out.push_back({ logical, caption });
    }
    return out;
}

QString GridExport::proposedName(const QString& title, Format format, const QDate& day)
{
    QString name = title.trimmed();
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = u'_';
    if (name.isEmpty())
        name = QStringLiteral("Orlenta");
    return name + u'_' + day.toString(QStringLiteral("yyyy-MM-dd")) + u'.' + QString::fromLatin1(texts(format).suffix);
}

int GridExport::write(DataGrid* grid, const QString& path, Format format, const std::function<bool(int, int)>& progress)
{
    const QVector<Column> shown = columns(grid);
    QStringList captions;
    for (const Column& c : shown)
        captions << c.caption;

    std::unique_ptr<platform::TableWriter> writer;
    if (format == Format::Xlsx)
        writer = std::make_unique<platform::XlsxWriter>(grid->window()->windowTitle());
    else
        writer = std::make_unique<platform::CsvWriter>();

    writer->begin(path, captions);
    int written = 0;
    try {
        DataControl* data = grid->dataSource();
        if (data && data->isOpen()) {
            const int total = data->recordCount();
            if (progress && !progress(0, total)) {
                writer->discard();
                return -1;
            }
            bool stopped = false;
            int seen = 0;
            QVector<QVariant> values(shown.size());
            data->forEachRow([&](const QVector<QVariant>& row) {
                if (!row.isEmpty()) { // a row deleted since the refresh has nothing to export
                    for (int i = 0; i < shown.size(); ++i)
                        values[i] = row.value(shown[i].field);
                    writer->addRow(values);
                    ++written;
                }
                if (progress && ++seen % kProgressEvery == 0 && !progress(seen, total))
                    stopped = true;
                return !stopped;
            });
            if (stopped) {
                writer->discard();
                return -1;
            }
        }
        writer->finish();
    } catch (...) {
        writer->discard();
        throw;
    }
    return written;
}

int GridExport::spreadsheetRows() { return g_spreadsheetRows; }
void GridExport::setSpreadsheetRows(int rows) { g_spreadsheetRows = rows; }

void GridExport::exportFromMenu(DataGrid* grid, Format format)
{
    QWidget* window = grid->window();
    const FormatText text = texts(format);
    // A CSV file longer than a spreadsheet opens would lose its last rows there, without a word:
    // said before anything is written, with the workbook (which goes on over further sheets).
    if (format == Format::Csv) {
        DataControl* data = grid->dataSource();
        const int rows = data && data->isOpen() ? data->recordCount() : 0;
        if (rows + 1 > g_spreadsheetRows) {
            const QString question
                = QStringLiteral("这个表格有 %1 行，超过了电子表格程序（Excel、LibreOffice 等）一张工作表能打开的 %2 行（含标题行）："
                                 "打开这个 CSV 文件时，后面的行不会显示。\n\n"
                                 "“导出为 Excel 工作簿(.xlsx)…”会把全部的行依次写入几张工作表。\n\n仍然导出为 CSV 文件吗?")
                      .arg(QLocale(QLocale::Chinese, QLocale::China).toString(rows),
                          QLocale(QLocale::Chinese, QLocale::China).toString(g_spreadsheetRows));
            if (MsgBox::show(question, QStringLiteral("询问"), MsgBox::Icon::Question, MsgBox::Buttons::YesNo) != MsgBox::Answer::Yes)
                return;
        }
    }
    const QString proposed
        = QDir(lastFolder()).filePath(proposedName(window->windowTitle(), format, QDate::currentDate()));
    const QString path = platform::FileDialog::saveFileName(window, QString::fromUtf8(text.caption), proposed,
        QString::fromUtf8(text.filter), QString::fromLatin1(text.suffix));
    if (path.isEmpty())
        return;
    lastFolder() = QFileInfo(path).absolutePath();

    // Shown once the export has taken half a second. Until then the window takes no input
    // either: the rows being read must not change under the export.
    QProgressDialog dialog(QStringLiteral("正在导出…"), QStringLiteral("取消"), 0, 1, window);
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setWindowTitle(QString::fromUtf8(text.caption));
    // Wide enough for its title beside the title bar's buttons, which a window manager would
    // otherwise cut short ("导出为 E…el 工作簿").
    dialog.setMinimumWidth(std::max(dialog.sizeHint().width(), titleWidth(&dialog, dialog.windowTitle())));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    auto progress = [&dialog](int done, int total) {
        dialog.setMaximum(std::max(total, 1));
        dialog.setValue(std::min(done, std::max(total, 1)));
        dialog.setLabelText(QStringLiteral("正在导出… %1 / %2 行").arg(done).arg(total));
        QCoreApplication::processEvents(dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        return !dialog.wasCanceled();
    };

    int written = -1;
    try {
        written = write(grid, path, format, progress);
    } catch (const platform::WriteError& error) {
        dialog.close();
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return;
    } catch (const DbError& error) {
        dialog.close();
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return;
    }
    dialog.close();
    if (written >= 0)
        MsgBox::show(QStringLiteral("已导出 %1 行到文件“%2”。").arg(written).arg(QDir::toNativeSeparators(path)),
            QStringLiteral("成功"), MsgBox::Icon::Information);
}

} // namespace store
