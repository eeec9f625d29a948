#include "app/page_picture.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

QImage extended_picture(const QImage& picture, const QSize& size)
{
    QImage extended(size, QImage::Format_RGB32);
    extended.fill(Qt::white);
    if (picture.isNull() || size.isEmpty())
        return extended;
    const int width = picture.width();
    const int height = picture.height();
    QPainter painter(&extended);
    painter.drawImage(0, 0, picture);
    if (size.width() > width)
        painter.drawImage(QRect(width, 0, size.width() - width, height), picture,
                          QRect(width - 1, 0, 1, height));
    if (size.height() > height)
        painter.drawImage(QRect(0, height, width, size.height() - height), picture,
                          QRect(0, height - 1, width, 1));
    if (size.width() > width && size.height() > height)
        painter.fillRect(QRect(width, height, size.width() - width, size.height() - height),
                         picture.pixelColor(width - 1, height - 1));
    return extended;
}

CPagePicture::CPagePicture(QWidget* page, const QString& picture)
    : QObject(page), m_page(page), m_picture(picture)
{
    page->installEventFilter(this);
}

bool CPagePicture::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_page || event->type() != QEvent::Paint)
        return false;
    if (m_drawn.size() != m_page->size())
        m_drawn = extended_picture(m_picture, m_page->size());
    QPainter painter(m_page);
    painter.drawImage(0, 0, m_drawn);
    // The page's own painting follows, over the picture.
    return false;
}
