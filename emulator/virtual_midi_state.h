#pragma once

#include "emulator/virtual_midi_system.h"

#include <chrono>
#include <mutex>
#include <string>

// What the virtual MIDI system keeps of a device and of an open host input, shared by its
// source files.

struct CVirtualMidiSystem::SDevice {
    DeviceId id = 0;
    std::string name;
    bool has_source = false;
    bool has_destination = false;

    std::mutex sink_mutex;  // held while the sink runs; guards sink and alive
    Sink sink;
    bool alive = true;
};

struct CVirtualMidiSystem::SInputState {
    std::mutex callback_mutex;    // held while a callback runs; guards everything below
    unsigned int generation = 0;  // of the service it was made on; set once, before sharing
    DeviceId source = 0;          // 0: not open
    MidiInCallback callback = nullptr;
    void* user = nullptr;
    MidiServiceEndCallback end_callback = nullptr;
    void* end_user = nullptr;
    bool ignore_sysex = true;
    bool ignore_timing = true;
    bool ignore_sensing = true;
    bool delivered_before = false;
    std::chrono::steady_clock::time_point last_delivery;
};
