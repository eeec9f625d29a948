#include "app/message_box.h"
#include "app/song_page.h"
#include "core/song_commands/song_moves.h"
#include "ui_tandora_qt.h"

#include <QKeyEvent>

bool CSongPage::move_by_key(const QKeyEvent* key)
{
    const int step = key->key() == Qt::Key_Up ? -1 : key->key() == Qt::Key_Down ? 1 : 0;
    if (step == 0 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier)
        return false;
    const int from = m_current;
    const int to = from + step;
    // At either end of the list the key does nothing, as in any list; on a pedal of one
    // slot the move itself says why there is nothing to move.
    const int lines = m_ui.m_lstSong->count();
    const bool past_end = (to < 0 || to >= lines) && lines > 1;
    if (m_runner.idle() && keeps_songs() && slot_holds_song(from) && !past_end)
        start_move(from, to, false);
    return true;
}

void CSongPage::start_move(int from, int to, bool ask)
{
    CQuestions& questions = m_runner.questions();
    m_runner.start(
        WORK_MOVE_SONG,
        [this, from, to, ask, &questions](CTask& task) {
            // A neighbour's song taking the freed slot loses nothing: one key, one swap.
            return ask ? move_song(m_session, from, to, questions, &task)
                       : swap_songs(m_session, from, to, &task);
        },
        [this, from, to](const COperationResult& result) {
            // A move that stopped part-way has still changed slots: the list shows them.
            if (result.kind() != COperationResult::EKind::DECLINED)
                show_slots(result.ok() ? to : from);
            // The list shows a done move; only what went wrong, and the notes, need a box.
            if (result.ok())
                show_messages(result.notes());
            else
                show_result(result);
        });
}
