#pragma once

#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
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
    // Every counted wait of the link's reads passes at once, so a time-out of the
    // program's figures ends in a moment while its count still is the program's.
    void fast_timeouts();
    unsigned int last_read_waits() { return m_link->port().transfer().last_read_waits(); }

    CInstalledMidiSystem m_midi;
    CVirtualMidiSystem& m_system = m_midi.system;
    std::vector<std::unique_ptr<CPedalEmulator>> m_pedals;
    std::unique_ptr<CUSBConnect> m_link = std::make_unique<CUSBConnect>();
};
