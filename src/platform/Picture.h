#pragma once

#include <QString>
#include <QWidget>

namespace platform {

// A picture of the program's resources (an image control), drawn at any size: filling the
// widget, or kept in proportion and centred.
class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(const QString& resource, bool keepProportion, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_resource;
    bool m_keepProportion;
};

} // namespace platform
