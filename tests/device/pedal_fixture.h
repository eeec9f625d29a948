#pragma once

#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <gtest/gtest.h>
#include <QObject>
#include <QStringList>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// A virtual MIDI system installed as the program's, with pedals plugged into it and one
// device link. Members are destroyed link first, then pedals, then the system.
class PedalTest : public ::testing::Test {
protected:
    PedalTest();
    ~PedalTest() override;

    CPedalEmulator& add_pedal(const SPedalConfig& config = {});
    // Opens the link on the ports of the first plugged pedal.
    [[nodiscard]] bool open_link(CPedalEmulator& pedal);
    // Every counted wait of the link's reads passes at once, so a time-out of the
    // program's figures ends in a moment while its count still is the program's.
    void fast_timeouts();
    unsigned int last_read_waits() { return m_link->port().transfer().last_read_waits(); }

    CVirtualMidiSystem m_system;
    std::vector<std::unique_ptr<CPedalEmulator>> m_pedals;
    std::unique_ptr<CUSBConnect> m_link = std::make_unique<CUSBConnect>();

private:
    CMidiSystem* m_previous;
};

// Records the progress events posted to it.
class CProgressRecorder : public QObject {
public:
    std::vector<std::pair<uint64_t, uint64_t>> events;

protected:
    void customEvent(QEvent* event) override;
};

// Collects Qt debug output for its lifetime.
class CDebugCapture {
public:
    CDebugCapture();
    ~CDebugCapture();
    QStringList lines() const;
    bool contains(const QString& text) const;
};

// Lines of the log file written since `before` lines were there.
QStringList log_lines_after(int before);
int log_line_count();
