#pragma once

#include <QListWidget>
#include <QMimeData>

// What a line dragged out of the song list carries: its slot. Only this program's own drags
// are of this class (a drag from another program, another Tandora included, arrives as plain
// data), so a drop tells a move inside the list from files dropped from outside.
class CSlotDrag final : public QMimeData {
    Q_OBJECT

public:
    explicit CSlotDrag(int slot);
    int slot() const { return m_slot; }

private:
    int m_slot;
};

// The slot a drag of the list's own lines moves, or -1 for any other drag.
int dragged_slot(const QMimeData* data);

// The song page's list. A drag takes the current line alone, whatever else is selected,
// and only a line whose flags allow dragging (a song's). The list never moves or removes
// lines itself: where a line goes is the pedal's business, and the page rebuilds the list
// from it.
class CSongList final : public QListWidget {
    Q_OBJECT

public:
    using QListWidget::QListWidget;

    // A drag at `at` (in the viewport) within the auto-scroll margin of the top or bottom
    // edge shows the line beyond it, so a line can be dragged to one out of view.
    void scroll_near_edge(const QPoint& at);

protected:
    void startDrag(Qt::DropActions supported) override;
};
