#include "app/song_page.h"

#include "app/song_list.h"
#include "core/pedal_view.h"
#include "ui_tandora_qt.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace {

QStringList dropped_files(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

}  // namespace

bool CSongPage::eventFilter(QObject* watched, QEvent* event)
{
    // The list's own drop handling would move its lines; files dropped on it are songs, and
    // its own lines dropped on it are moves the pedal makes.
    if (watched == m_list_viewport) {
        switch (event->type()) {
            case QEvent::DragMove:
                m_ui.m_lstSong->scroll_near_edge(static_cast<QDropEvent*>(event)->pos());
                accept_song_drag(static_cast<QDropEvent*>(event));
                return true;
            case QEvent::DragEnter:
                accept_song_drag(static_cast<QDropEvent*>(event));
                return true;
            case QEvent::Drop:
                drop_songs(static_cast<QDropEvent*>(event));
                return true;
            default:
                break;
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress && move_by_key(static_cast<QKeyEvent*>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}

void CSongPage::accept_song_drag(QDropEvent* event) const
{
    const int target = m_ui.m_lstSong->indexAt(event->pos()).row();
    const int moved = dragged_slot(event->mimeData());
    const bool dropped_here = m_runner.idle() && keeps_songs() && target >= 0;
    if (dropped_here && moved >= 0 && moved != target && slot_holds_song(moved)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (dropped_here && moved < 0 && !dropped_files(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CSongPage::drop_songs(QDropEvent* event)
{
    accept_song_drag(event);
    if (!event->isAccepted())
        return;
    const int first_slot = m_ui.m_lstSong->indexAt(event->pos()).row();
    const int moved = dragged_slot(event->mimeData());
    const QStringList files = dropped_files(event->mimeData());
    // The drag's source waits for the drop to end: the import or the move, and its
    // question, come after.
    QMetaObject::invokeMethod(
        this,
        [this, first_slot, moved, files] {
            // Meanwhile a timer tick may have dropped or replaced the pedal.
            if (!m_runner.idle() || !keeps_songs())
                return;
            if (moved >= 0) {
                if (slot_holds_song(moved))
                    start_move(moved, first_slot, true);
                return;
            }
            const int room = static_cast<int>(pedal_identity(m_session).slot_count) - first_slot;
            if (room <= 0)
                return;
            start_import(first_slot, files.mid(0, room), files.mid(room));
        },
        Qt::QueuedConnection);
}
