#include "StatusPanels.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

namespace platform {

namespace {

// A panel: a sunken frame around one line of text, cut with "…" when the panel is narrower than
// its text.
class PanelLabel : public QLabel {
public:
    PanelLabel(QWidget* parent, int widthPx, bool tooltip)
        : QLabel(parent)
        , m_widthPx(widthPx)
        , m_tooltip(tooltip)
    {
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setTextFormat(Qt::PlainText);
        setContentsMargins(4, 0, 4, 0);
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    int chrome() const
    {
        const QMargins margins = contentsMargins();
        return 2 * frameWidth() + margins.left() + margins.right() + 2;
    }
    int preferredWidth() const { return std::max(m_widthPx, fontMetrics().horizontalAdvance(text()) + chrome()); }
    // Narrowest it gets: one character and the ellipsis.
    int floorWidth() const
    {
        const QFontMetrics metrics = fontMetrics();
        return std::min(preferredWidth(),
            chrome() + metrics.horizontalAdvance(QChar(0x6C49)) + metrics.horizontalAdvance(QChar(0x2026)));
    }
    bool isElided() const { return fontMetrics().horizontalAdvance(text()) > contentsRect().width(); }

    void showText(const QString& text)
    {
        setText(text);
        showToolTip();
    }
    void showToolTip() { setToolTip(m_tooltip || isElided() ? text() : QString()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect room = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
        style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        showToolTip();
    }

private:
    int m_widthPx;
    bool m_tooltip;
};

} // namespace

// The panels side by side, laid out here so that they give way in a fixed order.
class PanelRow : public QWidget {
public:
    explicit PanelRow(QWidget* parent)
        : QWidget(parent)
    {
    }

    QVector<PanelLabel*> panels;
    static constexpr int Gap = 3;

    QSize sizeHint() const override { return QSize(total(&PanelLabel::preferredWidth), rowHeight()); }
    QSize minimumSizeHint() const override { return QSize(total(&PanelLabel::floorWidth), rowHeight()); }

    void relayout()
    {
        updateGeometry();
        place();
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }

private:
    int rowHeight() const
    {
        int height = 0;
        for (const PanelLabel* panel : panels)
            height = std::max(height, panel->sizeHint().height());
        return height;
    }
    int total(int (PanelLabel::*width)() const) const
    {
        int sum = panels.isEmpty() ? 0 : Gap * int(panels.size() - 1);
        for (const PanelLabel* panel : panels)
            sum += (panel->*width)();
        return sum;
    }

    void place()
    {
        if (panels.isEmpty())
            return;
        QVector<int> widths;
        for (const PanelLabel* panel : panels)
            widths << panel->preferredWidth();
        int spare = width() - total(&PanelLabel::preferredWidth);
        if (spare >= 0) {
            widths[0] += spare; // the first panel takes what is left
        } else {
            for (int i = 0; i < panels.size() && spare < 0; ++i) {
                const int give = std::min(-spare, widths[i] - panels[i]->floorWidth());
                widths[i] -= give;
                spare += give;
            }
        }
        // Narrower still, the last panels go past the right edge, cut off by the row; they never
        // lie over one another.
        int x = 0;
        for (int i = 0; i < panels.size(); ++i) {
            panels[i]->setGeometry(x, 0, widths[i], height());
            x += widths[i] + Gap;
        }
    }
};

StatusPanels::StatusPanels(QStatusBar* bar, const QVector<Panel>& panels)
    : QObject(bar)
{
    bar->setSizeGripEnabled(true);
    m_row = new PanelRow(bar);
    m_row->setObjectName(QStringLiteral("panels"));
    const double dotsPerMm = bar->logicalDpiX() / 25.4;
    for (int i = 0; i < panels.size(); ++i) {
        const Panel& panel = panels[i];
        auto* label = new PanelLabel(m_row, int(panel.widthMm * dotsPerMm), panel.tooltip);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        m_row->panels << label;
        m_labels << label;
        if (panel.kind == Kind::Date)
            m_datePanel = i + 1;
        else
            label->showText(panel.text);
    }
    bar->addWidget(m_row, 1);
    if (m_datePanel > 0) {
        m_midnight = new QTimer(this);
        m_midnight->setSingleShot(true);
        connect(m_midnight, &QTimer::timeout, this, &StatusPanels::showToday);
        showToday();
    }
    m_row->relayout();
}

QLabel* StatusPanels::label(int panel) const { return m_labels.value(panel - 1); }

void StatusPanels::showToday()
{
    const QDate today = QDate::currentDate();
    setText(m_datePanel, QLocale(QLocale::Chinese, QLocale::China).toString(today, QLocale::ShortFormat));
    const qint64 msToMidnight = QDateTime::currentDateTime().msecsTo(QDateTime(today.addDays(1), QTime(0, 0)));
    m_midnight->start(int(std::max<qint64>(1000, msToMidnight + 500)));
}

void StatusPanels::setText(int panel, const QString& text)
{
    auto* l = static_cast<PanelLabel*>(label(panel));
    if (!l || l->text() == text)
        return;
    l->showText(text);
    m_row->relayout();
}

QString StatusPanels::text(int panel) const
{
    const QLabel* l = label(panel);
    return l ? l->text() : QString();
}

int StatusPanels::preferredWidth(int panel) const
{
    const auto* l = static_cast<const PanelLabel*>(label(panel));
    return l ? l->preferredWidth() : 0;
}

bool StatusPanels::isElided(int panel) const
{
    const auto* l = static_cast<const PanelLabel*>(label(panel));
    return l && l->isElided();
}

} // namespace platform
