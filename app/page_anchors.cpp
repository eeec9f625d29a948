#include "app/page_anchors.h"

#include <QEvent>
#include <QWidget>

CPageAnchors::CPageAnchors(QWidget* page, const QWidget* window)
    : QObject(page), m_page(page), m_window(window)
{
    page->installEventFilter(this);
}

void CPageAnchors::anchor(QWidget* widget, unsigned edges)
{
    m_anchored.push_back({widget, widget->geometry(), edges});
}

bool CPageAnchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && event->type() == QEvent::Resize)
        place();
    return false;
}

void CPageAnchors::place()
{
    const int dx = std::max(0, m_window->width() - m_window->minimumWidth());
    const int dy = std::max(0, m_window->height() - m_window->minimumHeight());
    for (const SAnchored& anchored : m_anchored) {
        QRect at = anchored.design;
        if (anchored.edges & MOVE_RIGHT)
            at.translate(dx, 0);
        if (anchored.edges & MOVE_DOWN)
            at.translate(0, dy);
        if (anchored.edges & GROW_WIDE)
            at.setWidth(at.width() + dx);
        if (anchored.edges & GROW_TALL)
            at.setHeight(at.height() + dy);
        anchored.widget->setGeometry(at);
    }
}
