#include "app/song_play.h"

#include "app/desktop.h"
#include "app/message_box.h"
#include "app/slot_line_delegate.h"
#include "app/work_runner.h"
#include "audio/song_stream.h"
#include "audio/song_time_text.h"
#include "core/song_commands/song_playback.h"
#include "playback/audio_sink.h"
#include "support/task.h"
#include "ui_tandora_qt.h"

CSongPlay::CSongPlay(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner, QObject* parent,
                     std::function<void()> read_done)
    : QObject(parent),
      m_ui(ui),
      m_session(session),
      m_runner(runner),
      m_read_done(std::move(read_done)),
      m_sink(desktop().audio_output()),
      m_player(std::make_unique<CSongPlayer>(m_sink))
{
    connect(m_player.get(), &CSongPlayer::position_changed, this, [this] {
        show_time();
        show_place();
    });
    connect(m_player.get(), &CSongPlayer::state_changed, this, [this] {
        show_time();
        update_buttons(m_song_selected);
    });
    connect(m_player.get(), &CSongPlayer::finished, this, [this] { stop(); });
}

CSongPlay::~CSongPlay() = default;

void CSongPlay::play_slot(int slot)
{
    if (!m_runner.idle())
        return;
    std::shared_ptr<CSongStream> stream = slot_stream(m_session, slot);
    if (!stream)
        return;
    QString why;
    if (!m_player->play(stream, &why)) {
        show_messages({why});
        return;
    }
    m_slot = slot;
    show_time();
    m_runner.start(
        WORK_PLAY_SONG,
        [this, slot, stream](CTask& task) { return stream_slot(m_session, slot, *stream, &task); },
        [this](const COperationResult& result) {
            // Cancel in the progress area ends the playing too, as Stop does.
            if (result.kind() == COperationResult::EKind::CANCELLED) {
                stop();
                return;
            }
            if (!result.ok()) {
                show_result(result);
                return;
            }
            m_read_done();
        });
}

void CSongPlay::play_song(std::shared_ptr<const CSongStream> song)
{
    QString why;
    if (!m_player->play(std::move(song), &why))
        show_messages({why});
    m_slot = -1;
    show_time();
}

void CSongPlay::stop()
{
    // A read under way is ours: it ends at its next page.
    if (m_runner.state() == WORK_PLAY_SONG && m_runner.task())
        m_runner.task()->cancel();
    m_player->stop();
    const int was = m_slot;
    m_slot = -1;
    if (QListWidgetItem* line = m_ui.m_lstSong->item(was))
        line->setData(CSlotLineDelegate::kPlaceRole, QVariant());
    show_time();
    update_buttons(m_song_selected);
}

void CSongPlay::update_buttons(bool song_selected)
{
    m_song_selected = song_selected;
    const QString missing = m_sink.unavailable();
    m_ui.m_btnPlay->setEnabled(song_selected && m_runner.idle() && missing.isEmpty());
    m_ui.m_btnPlay->setToolTip(missing.isEmpty() ? QStringLiteral("Play the selected song from the pedal")
                                                 : missing);
    m_ui.m_btnStop->setEnabled(m_player->state() != CSongPlayer::EState::STOPPED);
}

void CSongPlay::show_place()
{
    QListWidgetItem* line = m_slot >= 0 ? m_ui.m_lstSong->item(m_slot) : nullptr;
    if (line && m_player->frames() > 0)
        line->setData(CSlotLineDelegate::kPlaceRole,
                      double(m_player->position()) / double(m_player->frames()));
}

void CSongPlay::show_time()
{
    if (m_player->state() == CSongPlayer::EState::STOPPED) {
        m_ui.m_labelPlayTime->clear();
        return;
    }
    m_ui.m_labelPlayTime->setText(play_time_text(m_player->position(), m_player->frames(),
                                                 m_player->state() == CSongPlayer::EState::BUFFERING));
}
