#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QTableView;

namespace store {

class DataControl;

// Sizes the columns of a grid: each as wide as its caption and as the texts of the rows that the
// record set holds already (nothing more is read, so a grid over millions of rows opens as fast
// as before), and the column with the longest texts takes the width that is left over. Every
// column stays resizable; a width the user chose is kept across refreshes. Columns only grow from
// one refresh to the next, so that a search does not make the grid jump.
class ColumnFitter : public QObject {
    Q_OBJECT
public:
    explicit ColumnFitter(QTableView* view);

    // After a refresh or a change of the columns shown.
    void fit(DataControl* control);

    // The column (logical index) that takes the width left over, -1 when none does.
    int stretchColumn() const { return m_stretch; }

    // No column is sized wider than this many characters from its texts alone.
    static constexpr int WidestInCharacters = 24;
    // Rows looked at, from the first: what a window shows at first and then some.
    static constexpr int SampleRows = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool measure();
    void fill();
    void sectionResized(int logical, int oldSize, int newSize);
    void setWidth(int logical, int width);

    QTableView* m_view;
    // Compared with, never called: events still arrive while the grid is being destroyed.
    const QObject* m_viewport;
    const QObject* m_headerViewport;
    QPointer<DataControl> m_control;
    QHash<QString, int> m_widths;  // by field: the width its texts and caption need
    QHash<QString, int> m_longest; // by field: its longest text seen, in pixels
    QHash<QString, int> m_chosen;  // by field: the width the user gave it
    int m_stretch = -1;
    bool m_adjusting = false;
    bool m_userResizing = false;
    bool m_measureAfterPaint = false;
};

} // namespace store
