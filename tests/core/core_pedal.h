#pragma once

#include "core/pedal_session.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "pedal_kit.h"
#include "scripted_questions.h"
#include "songs/looper_song_data.h"
#include "support/task.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QTemporaryDir>
#include <memory>

// The models and the update-mode commands the core tests name.
constexpr uint32_t kPulseRing = 0x2712;
constexpr uint32_t kDualWheel = 0x2716;
constexpr uint8_t kErase = 0x21;
constexpr uint8_t kWrite = 0x22;
constexpr uint8_t kRead = 0x23;

// A connected session on an emulated pedal of one model, with no window: the operations
// of core/ run here exactly as a front end's worker runs them.
class CorePedal : public ::testing::Test {
protected:
    void connect(uint32_t product_id);
    QString file(const QString& name) const { return m_files.filePath(name); }
    // A 16-bit mono tone of `frames` frames at 44100 Hz.
    void write_tone(const QString& path, unsigned int frames) const;
    // The slot's song as the pedal stores it.
    std::vector<unsigned char> stored_song(unsigned slot);
    size_t command_count() const { return m_pedal->command_log().size(); }
    // Flash commands the pedal was sent on its audio blocks, below the info blocks.
    size_t audio_page_commands() const;

    CInstalledMidiSystem m_midi;
    // A user who says yes to every question.
    CScriptedQuestions m_yes{true};
    std::unique_ptr<CPedalEmulator> m_pedal;
    CPedalSession m_session;
    QTemporaryDir m_files;
    // The session's song library, apart from the files a test writes and lists.
    QTemporaryDir m_data;
};

// Cancels its task at the `at`-th change of progress (from 1) and notes how many commands
// the pedal had received then: the worker is the only sender, so none may follow.
class CCancelAtStep {
public:
    CCancelAtStep(CTask& task, CPedalEmulator& pedal, int at);
    int steps = 0;
    size_t commands_at_cancel = 0;

private:
    CTask& m_task;
    CPedalEmulator& m_pedal;
    int m_at;
};
