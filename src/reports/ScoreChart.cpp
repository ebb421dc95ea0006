#include "ScoreChart.h"

#include "PrintPreview.h"

#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/TableWriter.h"
#include "platform/Widgets.h"
#include "store/Connection.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QGridLayout>
#include <QGraphicsSimpleTextItem>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

namespace reports {

namespace {

QString score(double value) { return QString::number(value, 'g', 15); }
QString percent(double share) { return QString::number(share * 100, 'f', 1) + u'%'; }

const char* const kFigureNames[] = { "count", "pass", "mean", "median", "highest", "lowest" };

} // namespace

ScoreChart::Axis ScoreChart::countAxis(qint64 most)
{
    // About five steps of 1, 2 or 5 times a power of ten: never a step below one score, so no
    // label repeats.
    const qint64 wanted = std::max<qint64>(1, qint64(std::ceil(most * 1.2)));
    qint64 step = 1;
    for (qint64 power = 1; step * 5 < wanted; power *= 10) {
        for (const qint64 m : { 1, 2, 5 }) {
            step = m * power;
            if (step * 5 >= wanted)
                break;
        }
    }
    const qint64 top = (wanted + step - 1) / step * step;
    return { top, int(top / step) + 1 };
}

ScoreChart::ScoreChart(const store::ScoreDistribution& d, const QString& source, const QString& covers, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_distribution(d)
    , m_source(source)
    , m_covers(covers)
{
    setObjectName(QStringLiteral("ScoreChart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("成绩分布图 - ") + source);

    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->setAutoFillBackground(true);
    QPalette white = m_content->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_content->setPalette(white);

    // The bars.
    auto* set = new QBarSet(QStringLiteral("成绩条数"));
    set->setColor(QColor(84, 112, 198));
    set->setBorderColor(QColor(84, 112, 198));
    QStringList bands;
    qint64 most = 0;
    for (int b = 0; b < store::ScoreDistribution::Bands; ++b) {
        *set << double(d.bands[b]);
        bands << store::ScoreDistribution::bandName(b);
        most = std::max(most, d.bands[b]);
    }
    auto* series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.6);
    m_chart = new QChart;
    m_chart->addSeries(series);
    m_chart->setTitle(d.count ? QStringLiteral("成绩分布（共 %1 条成绩）").arg(d.count) : QStringLiteral("成绩分布（没有成绩）"));
    QFont titleFont = m_chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    m_chart->setTitleFont(titleFont);
    m_chart->legend()->hide();
    m_chart->setAnimationOptions(QChart::NoAnimation);
    auto* x = new QBarCategoryAxis;
    x->append(bands);
    x->setTitleText(QStringLiteral("分数段"));
    auto* y = new QValueAxis;
    const Axis axis = countAxis(most);
    y->setRange(0, double(axis.top));
    y->setTickCount(axis.ticks);
    y->setMinorTickCount(0);
    y->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(x, Qt::AlignBottom);
    m_chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    for (int b = 0; b < store::ScoreDistribution::Bands; ++b) {
        auto* text = new QGraphicsSimpleTextItem(barText(b), m_chart);
        text->setZValue(10);
        m_barTexts << text;
    }
    connect(m_chart, &QChart::plotAreaChanged, this, [this] { placeBarTexts(); });

    m_view = new QChartView(m_chart, m_content);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(560, 380);

    // The figures.
    auto* figures = new QGroupBox(QStringLiteral("统计"), m_content);
    figures->setObjectName(QStringLiteral("famTj"));
    auto* form = new QFormLayout(figures);
    const QString values[] = {
        QString::number(d.count),
        d.count ? percent(d.passRate()) + QStringLiteral("（%1 条）").arg(d.passed) : QStringLiteral("—"),
        d.count ? QString::number(d.mean, 'f', 2) : QStringLiteral("—"),
        d.count ? score(d.median) : QStringLiteral("—"),
        d.count ? score(d.highest) : QStringLiteral("—"),
        d.count ? score(d.lowest) : QStringLiteral("—"),
    };
    const QString captions[] = { QStringLiteral("成绩条数:"), QStringLiteral("及格率(≥60):"), QStringLiteral("平均分:"),
        QStringLiteral("中位数:"), QStringLiteral("最高分:"), QStringLiteral("最低分:") };
    for (int i = 0; i < 6; ++i) {
        auto* value = new QLabel(values[i], figures);
        value->setObjectName(QStringLiteral("lbl_") + QString::fromLatin1(kFigureNames[i]));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        form->addRow(captions[i], value);
        m_figures << value;
    }
    auto* from = new QLabel(QStringLiteral("数据来源: ") + source + QStringLiteral("\n统计日期: ")
            + QDate::currentDate().toString(QStringLiteral("yyyy-M-d")),
        figures);
    from->setWordWrap(true);
    form->addRow(from);

    // What the scores are, above the chart: on screen, in the picture and on paper.
    auto* scope = new QLabel(QStringLiteral("统计范围: ") + covers, m_content);
    scope->setObjectName(QStringLiteral("lblFw"));
    scope->setWordWrap(true);
    scope->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont scopeFont = scope->font();
    scopeFont.setBold(true);
    scopeFont.setPointSizeF(scopeFont.pointSizeF() * 1.15);
    scope->setFont(scopeFont);
    auto* content = new QGridLayout(m_content);
    content->addWidget(scope, 0, 0, 1, 2);
    content->addWidget(m_view, 1, 0);
    content->addWidget(figures, 1, 1, Qt::AlignTop);
    content->setColumnStretch(0, 1);
    content->setRowStretch(1, 1);

    cmdPng = ui::button(this, "cmdPng", QStringLiteral("保存为 PNG…"));
    cmdPrint = ui::button(this, "cmdPrint", QStringLiteral("打印…"));
    cmdClose = ui::button(this, "cmdClose", QStringLiteral("关闭"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : { cmdPng, cmdPrint, cmdClose })
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_content, 1);
    layout->addLayout(buttons);
    resize(860, 520);

    connect(cmdPng, &QPushButton::clicked, this, &ScoreChart::cmdPng_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &ScoreChart::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

ScoreChart* ScoreChart::open(QWidget* parent, store::Connection& connection, const QString& statement, const QString& covers)
{
    store::ScoreDistribution d;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        d = store::ScoreStatistics::compute(connection, statement);
    }
    for (ScoreChart* old : parent->findChildren<ScoreChart*>(QString(), Qt::FindDirectChildrenOnly))
        old->close();
    auto* chart = new ScoreChart(d, parent->windowTitle(), covers, parent);
    chart->show();
    chart->raise();
    chart->activateWindow();
    return chart;
}

QString ScoreChart::barText(int band) const
{
    return QStringLiteral("%1 (%2)").arg(m_distribution.bands[band]).arg(percent(m_distribution.share(band)));
}

QString ScoreChart::figure(const QString& name) const
{
    for (int i = 0; i < 6; ++i)
        if (name == QLatin1String(kFigureNames[i]))
            return m_figures[i]->text();
    return {};
}

void ScoreChart::placeBarTexts()
{
    auto* series = static_cast<QBarSeries*>(m_chart->series().value(0));
    for (int b = 0; b < m_barTexts.size(); ++b) {
        const QPointF top = m_chart->mapToPosition(QPointF(b, double(m_distribution.bands[b])), series);
        const QRectF box = m_barTexts[b]->boundingRect();
        m_barTexts[b]->setPos(top.x() - box.width() / 2, top.y() - box.height() - 4);
    }
}

QImage ScoreChart::picture() const
{
    QImage image(m_content->size() * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    QPainter painter(&image);
    m_content->render(&painter);
    return image;
}

void ScoreChart::savePng(const QString& path) const
{
    if (!picture().save(path, "PNG"))
        throw platform::WriteError(QStringLiteral("无法写入文件“%1”。").arg(path));
}

void ScoreChart::cmdPng_Click()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString proposed = QDir(folder).filePath(
        QStringLiteral("成绩分布图_%1.png").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    const QString path = platform::FileDialog::saveFileName(
        this, QStringLiteral("保存为 PNG 图片"), proposed, QStringLiteral("PNG 图片 (*.png)"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    try {
        savePng(path);
    } catch (const platform::WriteError& error) {
        platform::MsgBox::show(error.text(), QStringLiteral("抱歉"), platform::MsgBox::Icon::Exclamation);
    }
}

void ScoreChart::cmdPrint_Click()
{
    const QString pdf = QStringLiteral("成绩分布图_%1.pdf").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    PrintPreview::open(this, windowTitle(), pdf, [this](QPrinter* printer) { paintPage(printer); });
}

void ScoreChart::paintPage(QPrinter* printer) const
{
    QPainter painter(printer);
    const QRectF page(QPointF(0, 0), printer->pageLayout().paintRectPixels(printer->resolution()).size());
    double y = 0;
    auto line = [&](const QString& text, const QFont& font, Qt::Alignment align, double x = 0) {
        painter.setFont(font);
        const double height = QFontMetricsF(font, printer).height() * 1.4;
        painter.drawText(QRectF(page.left() + x, y, page.width() - x, height), int(align | Qt::AlignVCenter), text);
        y += height;
    };
    line(QStringLiteral("成绩分布图"), PrintPreview::font(16, true), Qt::AlignHCenter);
    line(QStringLiteral("统计范围: %1").arg(m_covers), PrintPreview::font(11, true), Qt::AlignHCenter);
    line(QStringLiteral("数据来源: %1      统计日期: %2").arg(m_source, QDate::currentDate().toString(QStringLiteral("yyyy-M-d"))),
        PrintPreview::font(10), Qt::AlignHCenter);
    y += page.height() * 0.01;
    // The chart as drawn on screen, in vectors, as wide as the page.
    const QRectF chart(page.left(), y, page.width(), page.width() * 0.62);
    m_view->render(&painter, chart, m_view->viewport()->rect(), Qt::KeepAspectRatio);
    y = chart.bottom() + page.height() * 0.02;
    static const char* const captions[] = { "成绩条数:", "及格率(≥60):", "平均分:", "中位数:", "最高分:", "最低分:" };
    for (int i = 0; i < m_figures.size(); ++i) {
        const double top = y;
        line(QString::fromUtf8(captions[i]), PrintPreview::font(11), Qt::AlignLeft, page.width() * 0.25);
        y = top;
        line(m_figures[i]->text(), PrintPreview::font(11, true), Qt::AlignLeft, page.width() * 0.45);
    }
}

} // namespace reports
