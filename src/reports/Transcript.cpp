#include "Transcript.h"

#include "PrintPreview.h"

#include "platform/MsgBox.h"
#include "store/Value.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <memory>

namespace reports {

namespace {

// The score table's columns: caption, share of the width, alignment.
struct TableColumn {
    const char* caption;
    double share;
    Qt::Alignment align;
};
const TableColumn kColumns[] = {
    { "课程", 0.36, Qt::AlignLeft },
    { "课程号", 0.16, Qt::AlignHCenter },
    { "成绩", 0.14, Qt::AlignRight },
    { "学分", 0.14, Qt::AlignRight },
    { "考试日期", 0.20, Qt::AlignHCenter },
};
constexpr int kColumnCount = int(std::size(kColumns));

const QColor kBorder(90, 90, 110);
const QColor kShade(225, 225, 240);
const QColor kRule(150, 150, 160);

QString twoPlaces(const QVariant& value) { return value.isNull() ? QStringLiteral("—") : QString::number(value.toDouble(), 'f', 2); }
QString dateText(const QDate& date) { return date.isValid() ? store::displayText(date) : QString(); }

} // namespace

Transcript::Transcript(const store::StudentTranscript& transcript, const store::SchoolSettings& school, const QDate& printed)
    : m_t(transcript)
    , m_school(school)
    , m_printed(printed)
{
}

QString Transcript::title() const { return QStringLiteral("学生成绩单 - %1 %2").arg(m_t.number, m_t.name); }

QString Transcript::pdfName() const
{
    QString name = QStringLiteral("成绩单_%1_%2.pdf").arg(m_t.number, m_t.name);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = u'_';
    return name;
}

void Transcript::layOut(const QPaintDevice* device, const QSizeF& size)
{
    m_pages.clear();
    const double mm = device->logicalDpiY() / 25.4;
    const double width = size.width();
    const QFont small = PrintPreview::font(9);
    const QFont body = PrintPreview::font(10.5);
    const QFont bold = PrintPreview::font(10.5, true);
    const QFont heading = PrintPreview::font(14, true);
    const QFont schoolFont = PrintPreview::font(16, true);
    const double pad = 1.2 * mm;
    const double thin = 0.2 * mm;
    const double footer = QFontMetricsF(small, device).height() + 4 * mm;
    const double bottom = size.height() - footer;

    auto textHeight = [&](const QFont& font, double w, const QString& text) {
        return QFontMetricsF(font, device).boundingRect(QRectF(0, 0, w, 1e7), Qt::TextWordWrap, text).height();
    };

    Page* page = nullptr;
    double y = 0;
    double pageTop = 0; // where a page's own content begins, below its heading
    auto text = [&](const QRectF& rect, const QString& s, const QFont& font, Qt::Alignment align) {
        page->ops.push_back({ Op::Text, rect, {}, s, font, int(align | Qt::AlignVCenter), Qt::black });
    };
    auto line = [&](const QLineF& l, double pen, const QColor& colour) {
        page->ops.push_back({ Op::Line, {}, l, {}, {}, 0, colour, pen });
    };
    auto fill = [&](const QRectF& rect, const QColor& colour) { page->ops.push_back({ Op::Fill, rect, {}, {}, {}, 0, colour }); };
    // A page after the first begins with a line that says whose transcript goes on.
    auto newPage = [&] {
        m_pages.push_back({});
        page = &m_pages.last();
        y = pageTop = 0;
        if (m_pages.size() == 1)
            return;
        const QString s = (m_school.school.isEmpty() ? QString() : m_school.school + QStringLiteral("  "))
            + QStringLiteral("学生成绩单（续）");
        const double h = textHeight(bold, width, s);
        text(QRectF(0, 0, width, h), s, bold, Qt::AlignHCenter);
        y = pageTop = h + 3 * mm;
    };

    // Page 1: the school, the heading and the student.
    newPage();
    if (!m_school.school.isEmpty()) {
        const double h = textHeight(schoolFont, width, m_school.school);
        text(QRectF(0, y, width, h), m_school.school, schoolFont, Qt::AlignHCenter);
        y += h + 1.5 * mm;
    }
    {
        const QString s = QStringLiteral("学生成绩单");
        const double h = textHeight(heading, width, s);
        text(QRectF(0, y, width, h), s, heading, Qt::AlignHCenter);
        y += h + 5 * mm;
    }
    const std::pair<QString, QString> student[] = {
        { QStringLiteral("学号:"), m_t.number },
        { QStringLiteral("姓名:"), m_t.name },
        { QStringLiteral("性别:"), m_t.sex },
        { QStringLiteral("出生日期:"), dateText(m_t.birthDate) },
        { QStringLiteral("所属学院:"), m_t.department },
        { QStringLiteral("所在班级:"), m_t.className },
        { QStringLiteral("学籍情况:"), m_t.status },
    };
    // Three pairs a line; the department and class names are the long ones, in the wider places.
    const double cellX[] = { 0, width * 0.28, width * 0.64, width };
    const double labelWidth = QFontMetricsF(bold, device).horizontalAdvance(QStringLiteral("出生日期:")) + 1.5 * mm;
    for (int first = 0; first < int(std::size(student)); first += 3) {
        const int last = std::min(first + 3, int(std::size(student)));
        auto valueWidth = [&](int i) { return cellX[i - first + 1] - cellX[i - first] - labelWidth - pad; };
        double h = QFontMetricsF(body, device).height();
        for (int i = first; i < last; ++i)
            h = std::max(h, textHeight(body, valueWidth(i), student[i].second));
        for (int i = first; i < last; ++i) {
            const double x = cellX[i - first];
            text(QRectF(x, y, labelWidth, h), student[i].first, bold, Qt::AlignLeft | Qt::AlignTop);
            text(QRectF(x + labelWidth, y, valueWidth(i), h), student[i].second, body, Qt::AlignLeft | Qt::AlignTop);
        }
        y += h + 1.5 * mm;
    }
    y += 3 * mm;

    // The scores: on every page the header row, then the rows that fit, each part closed by its
    // own borders.
    double columnX[kColumnCount + 1] = { 0 };
    for (int c = 0; c < kColumnCount; ++c)
        columnX[c + 1] = columnX[c] + kColumns[c].share * width;
    columnX[kColumnCount] = width;
    const double headerHeight = QFontMetricsF(bold, device).height() + 2 * pad;
    auto cells = [&](const store::StudentTranscript::Score& s) {
        return std::array<QString, kColumnCount> { s.course, s.courseNumber, store::displayText(s.score),
            store::displayText(s.credits), dateText(s.date) };
    };
    auto rowHeight = [&](int r) {
        const auto texts = cells(m_t.scores[r]);
        double h = QFontMetricsF(body, device).height();
        for (int c = 0; c < kColumnCount; ++c)
            h = std::max(h, textHeight(body, columnX[c + 1] - columnX[c] - 2 * pad, texts[c]));
        return h + 2 * pad;
    };
    const int rows = int(m_t.scores.size());
    for (int r = 0; r < rows;) {
        if (y + headerHeight + rowHeight(r) > bottom && y > pageTop)
            newPage();
        const double top = y;
        QVector<double> rules { top, top + headerHeight };
        fill(QRectF(0, top, width, headerHeight), kShade);
        for (int c = 0; c < kColumnCount; ++c)
            text(QRectF(columnX[c] + pad, top, columnX[c + 1] - columnX[c] - 2 * pad, headerHeight),
                QString::fromUtf8(kColumns[c].caption), bold, Qt::AlignHCenter);
        y += headerHeight;
        const int firstOnPage = r;
        // A row always goes under its header, even one taller than a page would allow.
        while (r < rows && (y + rowHeight(r) <= bottom || r == firstOnPage)) {
            const double h = rowHeight(r);
            const auto texts = cells(m_t.scores[r]);
            for (int c = 0; c < kColumnCount; ++c)
                text(QRectF(columnX[c] + pad, y, columnX[c + 1] - columnX[c] - 2 * pad, h), texts[c], body, kColumns[c].align);
            y += h;
            rules << y;
            ++r;
        }
        for (const double at : std::as_const(rules))
            line(QLineF(0, at, width, at), thin * 1.5, kBorder);
        for (const double x : columnX)
            line(QLineF(x, top, x, y), thin * 1.5, kBorder);
        page->table = QRectF(0, top, width, y - top);
        if (r < rows)
            newPage();
    }

    // The figures under the table.
    QString figures;
    if (m_t.scores.isEmpty())
        figures = QStringLiteral("没有成绩记录。\n");
    figures += QStringLiteral("修读学分: %1      已获学分: %2      平均分: %3      学分加权平均分: %4")
                   .arg(store::displayText(m_t.creditsTaken), store::displayText(m_t.creditsEarned), twoPlaces(m_t.average),
                       twoPlaces(m_t.weightedAverage));
    {
        y += 4 * mm;
        const double h = textHeight(bold, width, figures);
        if (y + h > bottom)
            newPage();
        text(QRectF(0, y, width, h), figures, bold, Qt::AlignLeft | Qt::AlignTop);
        y += h;
    }

    // The issuing office, room for the seal and signature, and the date: together on one page.
    {
        const QString office = m_school.office.isEmpty() ? QStringLiteral("____________________") : m_school.office;
        const QString lines[] = { QStringLiteral("签发单位: ") + office, QStringLiteral("盖章及签字: ____________________"),
            QStringLiteral("打印日期: ") + store::displayText(m_printed) };
        const double lineHeight = QFontMetricsF(body, device).height();
        const double gap = 9 * mm; // room for a seal or a signature between the lines
        const double block = 8 * mm + 3 * lineHeight + 2 * gap;
        if (y + block > bottom)
            newPage();
        y += 8 * mm;
        const double x = width * 0.52;
        for (const QString& s : lines) {
            text(QRectF(x, y, width - x, lineHeight), s, body, Qt::AlignLeft);
            y += lineHeight + gap;
        }
    }

    // Every page's foot: the student and the page's number of all.
    const int count = int(m_pages.size());
    for (int i = 0; i < count; ++i) {
        page = &m_pages[i];
        const double top = size.height() - footer + 1.5 * mm;
        line(QLineF(0, top, width, top), thin, kRule);
        const QRectF foot(0, top + 1 * mm, width, footer - 2.5 * mm);
        text(foot, QStringLiteral("学号: %1    姓名: %2").arg(m_t.number, m_t.name), small, Qt::AlignLeft);
        text(foot, QStringLiteral("第 %1 页 共 %2 页").arg(i + 1).arg(count), small, Qt::AlignRight);
    }
}

void Transcript::paintPage(QPainter& painter, int index) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Op& op : m_pages[index].ops) {
        switch (op.kind) {
        case Op::Text:
            painter.setFont(op.font);
            painter.setPen(op.colour);
            painter.drawText(op.rect, op.flags | Qt::TextWordWrap, op.text);
            break;
        case Op::Line:
            painter.setPen(QPen(op.colour, op.pen, Qt::SolidLine, Qt::SquareCap));
            painter.drawLine(op.line);
            break;
        case Op::Fill: painter.fillRect(op.rect, op.colour); break;
        }
    }
    painter.restore();
}

void Transcript::print(QPrinter* printer)
{
    layOut(printer, printer->pageLayout().paintRectPixels(printer->resolution()).size());
    QPainter painter(printer);
    for (int i = 0; i < pageCount(); ++i) {
        if (i > 0)
            printer->newPage();
        paintPage(painter, i);
    }
}

QImage Transcript::pageImage(int index, int dpi)
{
    const double perMm = dpi / 25.4;
    QImage image(QSize(qRound(210 * perMm), qRound(297 * perMm)), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    const double margin = PrintPreview::MarginMm * perMm;
    layOut(&image, QSizeF(image.width() - 2 * margin, image.height() - 2 * margin));
    QPainter painter(&image);
    painter.translate(margin, margin);
    paintPage(painter, index);
    return image;
}

QVector<QRectF> Transcript::tableParts() const
{
    QVector<QRectF> out;
    for (const Page& page : m_pages)
        out << page.table;
    return out;
}

QPrintPreviewDialog* Transcript::preview(QWidget* parent, store::Connection& connection, const QString& number)
{
    const store::StudentTranscript transcript = store::StudentTranscript::read(connection, number);
    if (!transcript.found) {
        platform::MsgBox::show(QStringLiteral("没有该学生的信息!"), QStringLiteral("提示"), platform::MsgBox::Icon::Information);
        return nullptr;
    }
    auto pages = std::make_shared<Transcript>(transcript, store::SchoolSettings::read(connection), QDate::currentDate());
    return PrintPreview::open(parent, pages->title(), pages->pdfName(), [pages](QPrinter* printer) { pages->print(printer); });
}

} // namespace reports
