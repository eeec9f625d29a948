#pragma once

#include "capture_sink.h"
#include "core_pedal.h"
#include "playback/song_player.h"

#include <QSignalSpy>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Generous: only a broken player makes a test wait this long.
constexpr int kSlotWaitMs = 60000;

// Holds the pedal's read between two pages, on the reading thread, from the first page at
// which the condition given holds until open(): a player that waits for more than that
// waits out the limit, and then fails its test. Holds nothing until given a condition.
class CReadGate {
public:
    void hold_when(std::function<bool()> when);
    void at_page();
    void open();
    bool holding() const;

private:
    std::function<bool()> m_when = [] { return false; };
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_open = false;
};

// A song in slot 1 of an emulated pedal played as a front end plays it: the read on a
// worker thread, the player on this one.
class SlotPlayback : public CorePedal {
protected:
    // The read is ended and the player gone before any sink a test holds.
    void TearDown() override;
    // Slot 1 gets a tone of `frames` frames at 44100 Hz.
    void put_tone(unsigned int frames);
    // Starts the read and plays on `sink`; the gate may hold the read.
    void play(CAudioSink& sink);
    // Lets the read go on and waits for its end.
    void join();
    // The NAND page reads the pedal served since put_tone().
    size_t page_reads() const;

    std::shared_ptr<CSongStream> m_stream;
    CReadGate m_gate;
    CTask m_task;
    std::thread m_reader;
    std::optional<COperationResult> m_result;
    std::unique_ptr<CSongPlayer> m_player;
    std::unique_ptr<QSignalSpy> m_finished;
};
