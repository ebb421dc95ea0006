#include "Transcript.h"

#include "PrintPreview.h"

#include "platform/MsgBox.h"
#include "store/Value.h"

#include <QFont>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace reports {

namespace {

QTextCharFormat characters(double points, bool bold = false)
{
    QTextCharFormat format;
    format.setFont(PrintPreview::font(points));
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

QString number(const QVariant& value) { return store::displayText(value); }
QString twoPlaces(const QVariant& value) { return value.isNull() ? QStringLiteral("—") : QString::number(value.toDouble(), 'f', 2); }

void put(QTextTable* table, int row, int column, const QString& text, const QTextCharFormat& format,
    Qt::Alignment alignment = Qt::AlignLeft)
{
    QTextCursor cell = table->cellAt(row, column).firstCursorPosition();
    QTextBlockFormat block = cell.blockFormat();
    block.setAlignment(alignment);
    cell.setBlockFormat(block);
    cell.insertText(text, format);
}

} // namespace

std::unique_ptr<QTextDocument> Transcript::document(const store::StudentTranscript& t, const QDate& printed)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(PrintPreview::font(10.5));
    doc->setDocumentMargin(0);
    QTextCursor cursor(doc.get());

    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(centred);
    cursor.insertText(QStringLiteral("Orlenta 学生学籍管理系统"), characters(16, true));
    centred.setTopMargin(4);
    centred.setBottomMargin(10);
    cursor.insertBlock(centred);
    cursor.insertText(QStringLiteral("学生成绩单"), characters(14, true));

    // The student: three label and value pairs on each of two lines.
    QTextTableFormat plain;
    plain.setBorder(0);
    plain.setCellPadding(3);
    plain.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable* student = cursor.insertTable(2, 6, plain);
    const QString labels[] = { QStringLiteral("学号:"), QStringLiteral("姓名:"), QStringLiteral("性别:"), QStringLiteral("所属学院:"),
        QStringLiteral("所在班级:"), QStringLiteral("学籍情况:") };
    const QString values[] = { t.number, t.name, t.sex, t.department, t.className, t.status };
    for (int i = 0; i < 6; ++i) {
        put(student, i / 3, (i % 3) * 2, labels[i], characters(10.5, true), Qt::AlignRight);
        put(student, i / 3, (i % 3) * 2 + 1, values[i], characters(10.5));
    }
    cursor.movePosition(QTextCursor::End);

    // The scores, the header row repeated on every page.
    QTextBlockFormat gap;
    gap.setTopMargin(8);
    cursor.insertBlock(gap);
    QTextTableFormat grid;
    grid.setBorder(1);
    grid.setBorderBrush(QBrush(QColor(120, 120, 140)));
    grid.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    grid.setBorderCollapse(true);
    grid.setCellPadding(4);
    grid.setCellSpacing(0);
    grid.setHeaderRowCount(1);
    grid.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    grid.setColumnWidthConstraints({ QTextLength(QTextLength::PercentageLength, 36), QTextLength(QTextLength::PercentageLength, 16),
        QTextLength(QTextLength::PercentageLength, 14), QTextLength(QTextLength::PercentageLength, 14),
        QTextLength(QTextLength::PercentageLength, 20) });
    QTextTable* scores = cursor.insertTable(1 + t.scores.size(), 5, grid);
    const QString headers[] = { QStringLiteral("课程"), QStringLiteral("课程号"), QStringLiteral("成绩"), QStringLiteral("学分"),
        QStringLiteral("考试日期") };
    QTextCharFormat head = characters(10.5, true);
    for (int c = 0; c < 5; ++c) {
        QTextTableCellFormat shade;
        shade.setBackground(QColor(225, 225, 240));
        scores->cellAt(0, c).setFormat(shade);
        put(scores, 0, c, headers[c], head, Qt::AlignHCenter);
    }
    const QTextCharFormat body = characters(10.5);
    for (int r = 0; r < t.scores.size(); ++r) {
        const store::StudentTranscript::Score& s = t.scores[r];
        put(scores, r + 1, 0, s.course, body);
        put(scores, r + 1, 1, s.courseNumber, body, Qt::AlignHCenter);
        put(scores, r + 1, 2, number(s.score), body, Qt::AlignRight);
        put(scores, r + 1, 3, number(s.credits), body, Qt::AlignRight);
        put(scores, r + 1, 4, store::displayText(s.date), body, Qt::AlignHCenter);
    }
    cursor.movePosition(QTextCursor::End);

    QTextBlockFormat after;
    after.setTopMargin(10);
    cursor.insertBlock(after);
    if (t.scores.isEmpty()) {
        cursor.insertText(QStringLiteral("没有成绩记录。"), body);
        cursor.insertBlock(after);
    }
    cursor.insertText(QStringLiteral("总学分: %1      平均分: %2      学分加权平均分: %3")
                          .arg(store::displayText(t.totalCredits), twoPlaces(t.average), twoPlaces(t.weightedAverage)),
        characters(10.5, true));
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    right.setTopMargin(14);
    cursor.insertBlock(right);
    cursor.insertText(QStringLiteral("打印日期: ") + store::displayText(printed), body);
    return doc;
}

void Transcript::print(const store::StudentTranscript& transcript, QPrinter* printer, const QDate& printed)
{
    document(transcript, printed)->print(printer);
}

QString Transcript::pdfName(const store::StudentTranscript& t)
{
    QString name = QStringLiteral("成绩单_%1_%2.pdf").arg(t.number, t.name);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = u'_';
    return name;
}

QPrintPreviewDialog* Transcript::preview(QWidget* parent, store::Connection& connection, const QString& number)
{
    const store::StudentTranscript transcript = store::StudentTranscript::read(connection, number);
    if (!transcript.found) {
        platform::MsgBox::show(QStringLiteral("没有该学生的信息!"), QStringLiteral("提示"), platform::MsgBox::Icon::Information);
        return nullptr;
    }
    const QDate today = QDate::currentDate();
    return PrintPreview::open(parent, QStringLiteral("成绩单 - %1 %2").arg(transcript.number, transcript.name), pdfName(transcript),
        [transcript, today](QPrinter* printer) { print(transcript, printer, today); });
}

} // namespace reports
