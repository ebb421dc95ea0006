#pragma once

#include <QFont>
#include <QString>
#include <functional>

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace reports {

// The print preview of something the program draws: from it the user prints on any printer
// (the platform's print dialog), or saves the pages as a PDF file. The preview is a window of its
// own beside the one that opened it, never modal, and goes when that window goes.
class PrintPreview {
public:
    using Painter = std::function<void(QPrinter* printer)>;

    // The margin of every page, all round.
    static constexpr double MarginMm = 18;

    // `title` names the preview, the print job and the PDF's document; `pdfName` is the file
    // name the PDF save offers.
    static QPrintPreviewDialog* open(QWidget* parent, const QString& title, const QString& pdfName, const Painter& paint);

    // Draws the pages into a PDF file (A4), the fonts embedded. Throws platform::WriteError.
    static void savePdf(const QString& path, const QString& title, const Painter& paint);

    // Asks for a file name and saves the pages there; says where the file went, or why it
    // could not be written.
    static void savePdfFromDialog(QWidget* parent, const QString& title, const QString& pdfName, const Painter& paint);

    // The font of printed pages: a Chinese one that the PDF embeds.
    static QFont font(double points, bool bold = false);
};

} // namespace reports
