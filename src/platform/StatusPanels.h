#pragma once

#include <QLabel>
#include <QString>
#include <QVector>

class QStatusBar;
class QTimer;

namespace platform {

// A status bar of text panels, numbered from 1 as the windows name them, each at least as
// wide as given in millimetres. A date panel keeps today's date by itself.
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
    QLabel* label(int panel) const { return m_labels.value(panel - 1); }
    int count() const { return m_labels.size(); }

private:
    void showToday();

    QVector<QLabel*> m_labels;
    QVector<bool> m_tooltips;
    QTimer* m_midnight = nullptr;
    int m_datePanel = -1;
};

} // namespace platform
