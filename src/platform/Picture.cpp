#include "Picture.h"

#include <QIcon>
#include <QPainter>

namespace platform {

Picture::Picture(const QString& resource, bool keepProportion, QWidget* parent)
    : QWidget(parent)
    , m_icon(resource)
    , m_keepProportion(keepProportion)
    , m_natural(m_icon.actualSize(QSize(4096, 4096)))
{
}

QSize Picture::sizeHint() const { return QSize(96, 96); }

void Picture::paintEvent(QPaintEvent*)
{
    QSize size = rect().size();
    if (m_keepProportion && m_natural.isValid())
        size = m_natural.scaled(size, Qt::KeepAspectRatio);
    else if (m_natural.isValid()) // fill, cropping what does not fit
        size = m_natural.scaled(size, Qt::KeepAspectRatioByExpanding);
    if (size != m_drawnFor || devicePixelRatioF() != m_drawnRatio) {
        m_drawn = m_icon.pixmap(size, devicePixelRatioF());
        m_drawnFor = size;
        m_drawnRatio = devicePixelRatioF();
    }
    QPainter painter(this);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawPixmap(target, m_drawn);
}

} // namespace platform
