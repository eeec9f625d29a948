#include "app/song_list.h"

#include <QDrag>
#include <QScrollBar>

namespace {

const QString kSlotFormat = QStringLiteral("application/x-tandora-slot");

}  // namespace

CSlotDrag::CSlotDrag(int slot) : m_slot(slot)
{
    // A drag without a format is offered to no drop target, this window's list included.
    setData(kSlotFormat, QByteArray::number(slot));
}

int dragged_slot(const QMimeData* data)
{
    const auto* own = qobject_cast<const CSlotDrag*>(data);
    return own ? own->slot() : -1;
}

void CSongList::startDrag(Qt::DropActions)
{
    const QListWidgetItem* line = currentItem();
    if (!line || !(line->flags() & Qt::ItemIsDragEnabled))
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(new CSlotDrag(row(line)));
    drag->setPixmap(viewport()->grab(visualItemRect(line)));
    drag->exec(Qt::MoveAction);
}

void CSongList::scroll_near_edge(const QPoint& at)
{
    if (at.y() < autoScrollMargin())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (at.y() >= viewport()->height() - autoScrollMargin())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}
