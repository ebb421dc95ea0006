#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

namespace platform {

// A picture of the program's resources (an image control), drawn at any size: filling the
// widget, or kept in proportion and centred. A picture is drawn from its SVG once for each size
// it is shown at, however many windows show it and however often they are painted.
class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(const QString& resource, bool keepProportion, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_resource;
    QIcon m_icon;
    bool m_keepProportion;
    QSize m_natural;
};

} // namespace platform
