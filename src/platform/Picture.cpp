#include "Picture.h"

#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>

namespace platform {

Picture::Picture(const QString& resource, bool keepProportion, QWidget* parent)
    : QWidget(parent)
    , m_resource(resource)
    , m_icon(resource)
    , m_keepProportion(keepProportion)
{
    // The picture's own size, from its file's header: asking the icon would draw it at the size
    // asked for.
    static QHash<QString, QSize> natural;
    auto known = natural.constFind(resource);
    if (known == natural.constEnd())
        known = natural.insert(resource, QImageReader(resource).size());
    m_natural = *known;
}

QSize Picture::sizeHint() const { return QSize(96, 96); }

void Picture::paintEvent(QPaintEvent*)
{
    QSize size = rect().size();
    if (m_keepProportion && m_natural.isValid())
        size = m_natural.scaled(size, Qt::KeepAspectRatio);
    else if (m_natural.isValid()) // fill, cropping what does not fit
        size = m_natural.scaled(size, Qt::KeepAspectRatioByExpanding);
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("orlenta-picture:%1:%2x%3@%4").arg(m_resource).arg(size.width()).arg(size.height()).arg(ratio);
    QPixmap drawn;
    if (!QPixmapCache::find(key, &drawn)) {
        drawn = m_icon.pixmap(size, ratio);
        QPixmapCache::insert(key, drawn);
    }
    QPainter painter(this);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawPixmap(target, drawn);
}

} // namespace platform
