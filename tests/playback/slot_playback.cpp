#include "slot_playback.h"

#include "audio/song_stream.h"
#include "core/song_commands/song_playback.h"

#include <chrono>

void CReadGate::hold_when(std::function<bool()> when)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_when = std::move(when);
}

void CReadGate::at_page()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_holding || m_open || !m_when())
        return;
    m_holding = true;
    m_changed.wait_for(lock, std::chrono::milliseconds(kSlotWaitMs), [this] { return m_open; });
}

void CReadGate::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
}

bool CReadGate::holding() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_holding && !m_open;
}

void SlotPlayback::TearDown()
{
    join();
    m_player.reset();
}

void SlotPlayback::put_tone(unsigned int frames)
{
    ASSERT_NO_FATAL_FAILURE(connect(0x2712));
    write_tone(file("tone.wav"), frames);
    ASSERT_TRUE(import_song_unasked(m_session, file("tone.wav"), 0, SImportSettings{}, nullptr).ok());
    m_stream = slot_stream(m_session, 0);
    ASSERT_TRUE(m_stream);
    m_pedal->clear_command_log();
}

void SlotPlayback::play(CAudioSink& sink)
{
    m_player = std::make_unique<CSongPlayer>(sink);
    m_finished = std::make_unique<QSignalSpy>(m_player.get(), &CSongPlayer::finished);
    m_task.set_listener([this] { m_gate.at_page(); });
    m_reader = std::thread([this] { m_result = stream_slot(m_session, 0, *m_stream, &m_task); });
    QString why;
    ASSERT_TRUE(m_player->play(m_stream, &why)) << why.toStdString();
}

void SlotPlayback::join()
{
    m_gate.open();
    if (m_reader.joinable())
        m_reader.join();
    m_task.set_listener(nullptr);
}

size_t SlotPlayback::page_reads() const
{
    return m_pedal->count_commands(EPedalMode::UPDATE, kRead);
}
