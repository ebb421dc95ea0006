#include "PrintPreview.h"

#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/PartFile.h"
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
#include <QToolBar>

namespace reports {

namespace {

void setUpPage(QPrinter* printer)
{
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    const double m = PrintPreview::MarginMm;
    printer->setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Millimeter);
}

} // namespace

QFont PrintPreview::font(double points, bool bold)
{
    QFont f;
    f.setFamilies({ QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
        QStringLiteral("sans-serif") });
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QPrintPreviewDialog* PrintPreview::open(QWidget* parent, const QString& title, const QString& pdfName, const Painter& paint)
{
    auto* dialog = new QPrintPreviewDialog(parent, Qt::Window);
    dialog->setObjectName(QStringLiteral("dlgPreview"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    setUpPage(dialog->printer());
    dialog->printer()->setDocName(title);
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog, [paint](QPrinter* printer) { paint(printer); });
    if (auto* tools = dialog->findChild<QToolBar*>()) {
        tools->addSeparator();
        QAction* pdf = tools->addAction(QStringLiteral("另存为 PDF…"));
        pdf->setObjectName(QStringLiteral("actSavePdf"));
        pdf->setToolTip(QStringLiteral("把这些页面保存为 PDF 文件"));
        QObject::connect(pdf, &QAction::triggered, dialog, [dialog, title, pdfName, paint] { savePdfFromDialog(dialog, title, pdfName, paint); });
    }
    dialog->resize(820, 900);
    dialog->show();
    return dialog;
}

void PrintPreview::savePdf(const QString& path, const QString& title, const Painter& paint)
{
    // Drawn into a file beside the target and moved over it when whole: a failed save leaves any
    // older file of that name as it was.
    platform::PartFile part;
    part.create(path);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(part.path());
        printer.setCreator(QStringLiteral("Orlenta"));
        printer.setDocName(title);
        setUpPage(&printer);
        paint(&printer);
    }
    if (QFileInfo(part.path()).size() == 0)
        throw platform::WriteError(QStringLiteral("无法写入文件“%1”。").arg(path));
    part.commit();
}

void PrintPreview::savePdfFromDialog(QWidget* parent, const QString& title, const QString& pdfName, const Painter& paint)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString path = platform::FileDialog::saveFileName(parent, QStringLiteral("另存为 PDF"), QDir(folder).filePath(pdfName),
        QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    try {
        savePdf(path, title, paint);
    } catch (const platform::WriteError& error) {
        platform::MsgBox::show(error.text(), QStringLiteral("抱歉"), platform::MsgBox::Icon::Exclamation);
        return;
    }
    platform::MsgBox::show(QStringLiteral("已保存为 PDF 文件“%1”。").arg(QDir::toNativeSeparators(path)), QStringLiteral("成功"),
        platform::MsgBox::Icon::Information);
}

} // namespace reports
