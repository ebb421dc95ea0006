#include "StatusPanels.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

namespace platform {

StatusPanels::StatusPanels(QStatusBar* bar, const QVector<Panel>& panels)
    : QObject(bar)
{
    bar->setSizeGripEnabled(true);
    const double dotsPerMm = bar->logicalDpiX() / 25.4;
    for (int i = 0; i < panels.size(); ++i) {
        const Panel& panel = panels[i];
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(int(panel.widthMm * dotsPerMm));
        label->setContentsMargins(4, 0, 4, 0);
        bar->addWidget(label, i == 0 ? 1 : 0);
        m_labels << label;
        m_tooltips << panel.tooltip;
        if (panel.kind == Kind::Date)
            m_datePanel = i + 1;
        else
            setText(i + 1, panel.text);
    }
    if (m_datePanel > 0) {
        m_midnight = new QTimer(this);
        m_midnight->setSingleShot(true);
        connect(m_midnight, &QTimer::timeout, this, &StatusPanels::showToday);
        showToday();
    }
}

void StatusPanels::showToday()
{
    const QDate today = QDate::currentDate();
    setText(m_datePanel, QLocale(QLocale::Chinese, QLocale::China).toString(today, QLocale::ShortFormat));
    const qint64 msToMidnight = QDateTime::currentDateTime().msecsTo(QDateTime(today.addDays(1), QTime(0, 0)));
    m_midnight->start(int(std::max<qint64>(1000, msToMidnight + 500)));
}

void StatusPanels::setText(int panel, const QString& text)
{
    QLabel* l = label(panel);
    if (!l)
        return;
    l->setText(text);
    if (m_tooltips.value(panel - 1))
        l->setToolTip(text);
}

QString StatusPanels::text(int panel) const
{
    const QLabel* l = label(panel);
    return l ? l->text() : QString();
}

} // namespace platform
