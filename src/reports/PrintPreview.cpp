#include "PrintPreview.h"

#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/TableWriter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QToolBar>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace reports {

namespace {

void setUpPage(QPrinter* printer)
{
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
}

} // namespace

QPrintPreviewDialog* PrintPreview::open(QWidget* parent, const QString& title, const QString& pdfName, const Painter& paint)
{
    auto* dialog = new QPrintPreviewDialog(parent, Qt::Window);
    dialog->setObjectName(QStringLiteral("dlgPreview"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    setUpPage(dialog->printer());
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog, [paint](QPrinter* printer) { paint(printer); });
    if (auto* tools = dialog->findChild<QToolBar*>()) {
        tools->addSeparator();
        QAction* pdf = tools->addAction(QStringLiteral("另存为 PDF…"));
        pdf->setObjectName(QStringLiteral("actSavePdf"));
        pdf->setToolTip(QStringLiteral("把这些页面保存为 PDF 文件"));
        QObject::connect(pdf, &QAction::triggered, dialog, [dialog, pdfName, paint] { savePdfFromDialog(dialog, pdfName, paint); });
    }
    dialog->resize(820, 900);
    dialog->show();
    return dialog;
}

void PrintPreview::savePdf(const QString& path, const Painter& paint)
{
    // Drawn into a file beside the target and moved over it when whole: a failed save leaves any
    // older file of that name as it was.
    const QFileInfo target(path);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    part.setAutoRemove(false);
    if (!part.open())
        throw platform::WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(path, part.errorString()));
    const QString partPath = part.fileName();
    part.close();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(partPath);
        printer.setCreator(QStringLiteral("Orlenta"));
        setUpPage(&printer);
        paint(&printer);
    }
    if (QFileInfo(partPath).size() == 0) {
        QFile::remove(partPath);
        throw platform::WriteError(QStringLiteral("无法写入文件“%1”。").arg(path));
    }
    if (std::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partPath);
        throw platform::WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(path, reason));
    }
}

void PrintPreview::savePdfFromDialog(QWidget* parent, const QString& pdfName, const Painter& paint)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString path = platform::FileDialog::saveFileName(parent, QStringLiteral("另存为 PDF"), QDir(folder).filePath(pdfName),
        QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    try {
        savePdf(path, paint);
    } catch (const platform::WriteError& error) {
        platform::MsgBox::show(error.text(), QStringLiteral("抱歉"), platform::MsgBox::Icon::Exclamation);
    }
}

} // namespace reports
