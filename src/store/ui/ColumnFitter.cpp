#include "ColumnFitter.h"

#include "../DataControl.h"
#include "../Value.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QTimer>

namespace store {

ColumnFitter::ColumnFitter(QTableView* view)
    : QObject(view)
    , m_view(view)
    , m_viewport(view->viewport())
    , m_headerViewport(view->horizontalHeader()->viewport())
{
    QHeaderView* header = view->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    // A double click on a divider sizes the column to the rows on screen, never to more of them.
    header->setResizeContentsPrecision(0);
    view->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, &ColumnFitter::sectionResized);
}

void ColumnFitter::fit(DataControl* control)
{
    m_control = control;
    // A result read by key has no rows at hand until the grid first paints them; the columns are
    // measured again once it has.
    m_measureAfterPaint = !measure();
    fill();
}

bool ColumnFitter::measure()
{
    if (!m_control)
        return false;
    QHeaderView* header = m_view->horizontalHeader();
    const int columns = std::min(m_control->fieldCount(), header->count());
    const QFontMetrics metrics = m_view->fontMetrics();
    // What a cell draws around its text, and a little air.
    const int chrome = 2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1) + 1
        + metrics.averageCharWidth();
    const int widest = metrics.horizontalAdvance(QChar(0x6C49)) * WidestInCharacters;

    // The longest text of each column by a cheap count (a wide character counts twice), and only
    // that one measured: a block of rows costs no more than a pass over its texts.
    QVector<int> longest(columns, -1);
    QVector<int> units(columns, -1);
    QStringList candidates(columns);
    bool sawRows = false;
    QVariant value;
    for (int row = 0; row < SampleRows && columns > 0; ++row) {
        if (!m_control->cachedValue(row, 0, value))
            continue;
        sawRows = true;
        for (int c = 0; c < columns; ++c) {
            if (header->isSectionHidden(c) || !m_control->cachedValue(row, c, value))
                continue;
            const QString text = displayText(value);
            int count = 0;
            for (const QChar ch : text.left(2 * WidestInCharacters))
                count += ch.unicode() >= 0x2E80 ? 2 : 1;
            if (count > units[c]) {
                units[c] = count;
                candidates[c] = text;
            }
        }
    }
    for (int c = 0; c < columns; ++c) {
        if (units[c] < 0)
            continue;
        QString text = candidates[c].left(2 * WidestInCharacters);
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        longest[c] = metrics.horizontalAdvance(text);
    }

    // In the order the columns are shown: with no texts yet the last column takes what is left.
    int stretch = -1;
    int stretchLength = -1;
    m_adjusting = true;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int c = header->logicalIndex(visual);
        if (c < 0 || c >= columns || header->isSectionHidden(c))
            continue;
        const QString field = m_control->fieldName(c);
        if (longest[c] >= 0)
            m_longest.insert(field, std::max(m_longest.value(field, 0), longest[c]));
        const int length = m_longest.value(field, 0);
        const int need = std::max(header->sectionSizeHint(c), std::min(length + chrome, widest));
        const int width = std::max(m_widths.value(field, 0), need);
        m_widths.insert(field, width);
        const auto chosen = m_chosen.constFind(field);
        if (chosen == m_chosen.constEnd() && length >= stretchLength) {
            stretch = c;
            stretchLength = length;
        }
        setWidth(c, chosen != m_chosen.constEnd() ? *chosen : width);
    }
    m_adjusting = false;
    m_stretch = stretch;
    return sawRows;
}

void ColumnFitter::fill()
{
    QHeaderView* header = m_view->horizontalHeader();
    if (!m_control || m_stretch < 0 || m_stretch >= header->count() || header->isSectionHidden(m_stretch))
        return;
    int others = 0;
    for (int c = 0; c < header->count(); ++c)
        if (c != m_stretch && !header->isSectionHidden(c))
            others += header->sectionSize(c);
    const int own = m_widths.value(m_control->fieldName(m_stretch), header->sectionSize(m_stretch));
    setWidth(m_stretch, std::max(own, m_view->viewport()->width() - others));
}

void ColumnFitter::setWidth(int logical, int width)
{
    QHeaderView* header = m_view->horizontalHeader();
    if (header->sectionSize(logical) == width)
        return;
    const bool adjusting = m_adjusting;
    m_adjusting = true;
    header->resizeSection(logical, width);
    m_adjusting = adjusting;
}

void ColumnFitter::sectionResized(int logical, int, int newSize)
{
    // Only a drag or a double click on a divider is the user's choice; the header also resizes
    // sections itself when they are hidden, shown or reset.
    if (m_adjusting || !m_userResizing || !m_control || newSize <= 0)
        return;
    m_chosen.insert(m_control->fieldName(logical), newSize);
    if (logical == m_stretch)
        m_stretch = -1; // the user sizes it from now on
    else
        fill();
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_viewport) {
        if (event->type() == QEvent::Resize) {
            fill();
        } else if (event->type() == QEvent::Paint && m_measureAfterPaint) {
            m_measureAfterPaint = false;
            QTimer::singleShot(0, this, [this] {
                measure();
                fill();
            });
        }
        return false;
    }
    if (watched != m_headerViewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: m_userResizing = true; break;
    case QEvent::MouseButtonRelease: m_userResizing = false; break;
    default: break;
    }
    return false;
}

} // namespace store
