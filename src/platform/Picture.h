#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace platform {

// A picture of the program's resources (an image control), drawn at any size: filling the
// widget, or kept in proportion and centred. The picture is drawn once for each size the widget
// takes, not at every paint.
class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(const QString& resource, bool keepProportion, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
    bool m_keepProportion;
    QSize m_natural;
    QPixmap m_drawn; // at m_drawnFor, for m_drawnRatio
    QSize m_drawnFor;
    qreal m_drawnRatio = 0;
};

} // namespace platform
