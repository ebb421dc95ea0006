#pragma once

#include "store/StudentTranscript.h"

#include <QDate>
#include <memory>

class QPrinter;
class QPrintPreviewDialog;
class QTextDocument;
class QWidget;
namespace store {
class Connection;
}

namespace reports {

// A student's transcript on paper: the program's title, the student (number, name, sex,
// department, class, enrolment status), a table of every score row in date order whose header
// row is repeated on every page, the total credits, the average score and the credit-weighted
// average, and the date it was printed. Pages are numbered; the Chinese font goes into a PDF with
// the text, so the file reads the same on any machine.
class Transcript {
public:
    static std::unique_ptr<QTextDocument> document(const store::StudentTranscript& transcript, const QDate& printed);
    static void print(const store::StudentTranscript& transcript, QPrinter* printer, const QDate& printed);

    // The file name a PDF of it is offered under: 成绩单_<number>_<name>.pdf.
    static QString pdfName(const store::StudentTranscript& transcript);

    // Reads the transcript of the student with this number and opens its print preview; a
    // number with no student is told in a message box (and answers null).
    static QPrintPreviewDialog* preview(QWidget* parent, store::Connection& connection, const QString& number);
};

} // namespace reports
