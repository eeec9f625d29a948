#pragma once

#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "fake_wait_clock.h"
#include "pedal_kit.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A virtual MIDI system installed as the program's, with pedals plugged into it and one
// device link. Members are destroyed link first, then pedals, then the system.
class PedalTest : public ::testing::Test {
protected:
    CPedalEmulator& add_pedal(const SPedalConfig& config = {});
    // Opens the link on the first port pair carrying the pedal's name.
    [[nodiscard]] bool open_link(CPedalEmulator& pedal);
    // A pedal with the link open on it, its log cleared of the opening's requests.
    CPedalEmulator& add_opened_pedal();
    // The link's reply waits run on m_clock: once the pedals have answered what they were
    // sent, silence passes at once, and the time a read counted is the program's figure.
    void fast_timeouts();
    CWaitClock::duration last_read_waited() { return m_link->port().transfer().last_read_waited(); }

    // First: the link's input, which reads the clock, goes before it.
    CFakeWaitClock m_clock;
    CInstalledMidiSystem m_midi;
    CVirtualMidiSystem& m_system = m_midi.system;
    std::vector<std::unique_ptr<CPedalEmulator>> m_pedals;
    std::unique_ptr<CUSBConnect> m_link = std::make_unique<CUSBConnect>();
};
