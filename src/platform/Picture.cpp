#include "Picture.h"

#include <QIcon>
#include <QPainter>

namespace platform {

Picture::Picture(const QString& resource, bool keepProportion, QWidget* parent)
    : QWidget(parent)
    , m_resource(resource)
    , m_keepProportion(keepProportion)
{
}

QSize Picture::sizeHint() const { return QSize(96, 96); }

void Picture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QIcon icon(m_resource);
    const QSize natural = icon.actualSize(QSize(4096, 4096));
    QSize size = rect().size();
    if (m_keepProportion && natural.isValid())
        size = natural.scaled(size, Qt::KeepAspectRatio);
    else if (natural.isValid()) // fill, cropping what does not fit
        size = natural.scaled(size, Qt::KeepAspectRatioByExpanding);
    const QPixmap pixmap = icon.pixmap(size, devicePixelRatioF());
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawPixmap(target, pixmap);
}

} // namespace platform
