#pragma once

#include "store/SchoolSettings.h"
#include "store/StudentTranscript.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QVector>

class QPainter;
class QPaintDevice;
class QPrinter;
class QPrintPreviewDialog;
class QWidget;
namespace store {
class Connection;
}

namespace reports {

// A student's transcript on paper, A4, as a registrar signs it:
// - page 1 is headed by the school's name and "学生成绩单", then the student (number, name, sex,
//   date of birth, department, class and enrolment status by full name);
// - a table of every score row in date order, its header row repeated and its borders closed on
//   every page it spans;
// - 修读学分 and 已获学分, the average and the credit-weighted average;
// - at the end the issuing office, a line for the seal and signature and the date printed, kept
//   together on one page;
// - every page names the student and says 第 n 页 共 m 页 at its foot.
// The pages are laid out once for the device they go to (its resolution decides the measures),
// then painted; the Chinese font goes into a PDF with the text.
class Transcript {
public:
    Transcript(const store::StudentTranscript& transcript, const store::SchoolSettings& school, const QDate& printed);

    // Lays the pages out for a device, `page` being the printable area in its pixels.
    void layOut(const QPaintDevice* device, const QSizeF& page);
    int pageCount() const { return int(m_pages.size()); }
    // Paints one page; the painter's origin is the printable area's top-left corner.
    void paintPage(QPainter& painter, int page) const;
    // Lays out for the printer and prints every page.
    void print(QPrinter* printer);
    // A page as a picture (white, A4 with its margins) at `dpi` dots per inch, laid out for it.
    QImage pageImage(int page, int dpi);
    // The score table's part on each page, in that page's pixels (empty for a page without one).
    QVector<QRectF> tableParts() const;

    // "学生成绩单 - <number> <name>": the preview's and the PDF's title.
    QString title() const;
    // The file name a PDF of it is offered under: 成绩单_<number>_<name>.pdf.
    QString pdfName() const;

    // Reads the transcript of the student with this number and the school's settings, and opens
    // the print preview; a number with no student is told in a message box (and answers null).
    static QPrintPreviewDialog* preview(QWidget* parent, store::Connection& connection, const QString& number);

private:
    // What a page draws, in order.
    struct Op {
        enum Kind { Text, Line, Fill } kind;
        QRectF rect;
        QLineF line;
        QString text;
        QFont font;
        int flags = 0;
        QColor colour;
        qreal pen = 0;
    };
    struct Page {
        QVector<Op> ops;
        QRectF table;
    };

    store::StudentTranscript m_t;
    store::SchoolSettings m_school;
    QDate m_printed;
    QVector<Page> m_pages;
};

} // namespace reports
