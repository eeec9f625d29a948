#include "app/tandora_qt.h"

#include "app/song_import_report.h"
#include "support/user_prompt.h"

#include <QDropEvent>
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

void TandoraQT::accept_song_drag(QDropEvent* event) const
{
    const bool can_import = m_workState == WORK_IDLE && is_ready_for_songs() && m_session.song_format() &&
                            ui.m_lstSong->indexAt(event->pos()).isValid() &&
                            !dropped_files(event->mimeData()).isEmpty();
    if (can_import)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TandoraQT::drop_songs(QDropEvent* event)
{
    accept_song_drag(event);
    if (!event->isAccepted())
        return;
    const int first_slot = ui.m_lstSong->indexAt(event->pos()).row();
    const QStringList files = dropped_files(event->mimeData());
    // The drag's source waits for the drop to end: the question comes after it.
    QMetaObject::invokeMethod(
        this,
        [this, first_slot, files] {
            const int room = static_cast<int>(m_session.songs().slot_count()) - first_slot;
            const QStringList paths = files.mid(0, room);
            QStringList replaced;
            for (int i = 0; i < paths.size(); ++i)
                if (slot_holds_song(first_slot + i))
                    replaced << song_line(first_slot + i);
            if (!replaced.isEmpty() &&
                !user_prompt().ask_yes_no(QStringLiteral("Overwrite warning"), overwrite_question(replaced)))
                return;
            // The question's loop may have let a timer tick drop or replace the pedal.
            if (m_workState != WORK_IDLE || !is_ready_for_songs() ||
                first_slot + paths.size() > static_cast<int>(m_session.songs().slot_count()))
                return;
            start_import(first_slot, paths, files.mid(room));
        },
        Qt::QueuedConnection);
}
