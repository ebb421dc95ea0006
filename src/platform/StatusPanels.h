#pragma once

#include <QLabel>
#include <QString>
#include <QVector>

class QStatusBar;
class QTimer;

namespace platform {

class PanelRow;

// A status bar of text panels, numbered from 1 as the windows name them, each as wide as given in
// millimetres or as its text, the first taking what is left. A date panel keeps today's date by
// itself.
//
// Panels never overlap. When the bar is narrower than the panels want, they give way in their
// order, the first panel first, each down to a few characters; a panel whose text is cut shows
// it elided and whole in its tool tip.
class StatusPanels : public QObject {
    Q_OBJECT
public:
    enum class Kind { Text, Date };
    struct Panel {
        QString text;
        double widthMm = 25.4;
        Kind kind = Kind::Text;
        bool tooltip = false; // the panel's text is also its tool tip
    };

    StatusPanels(QStatusBar* bar, const QVector<Panel>& panels);

    void setText(int panel, const QString& text);
    QString text(int panel) const;
    QLabel* label(int panel) const;
    int count() const { return m_labels.size(); }

    // The width a panel takes when there is room: its millimetres or its text, whichever is wider.
    int preferredWidth(int panel) const;
    // Whether a panel shows its text cut.
    bool isElided(int panel) const;

private:
    void showToday();

    PanelRow* m_row = nullptr;
    QVector<QLabel*> m_labels;
    QTimer* m_midnight = nullptr;
    int m_datePanel = -1;
};

} // namespace platform
