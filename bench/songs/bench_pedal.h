#pragma once

#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <vector>

// An emulated PULSE RING on a virtual MIDI system installed for the object's life, and a
// session (not yet open) whose song library lives in a temporary folder.
struct SBenchSession {
    SBenchSession();
    ~SBenchSession();
    SBenchSession(const SBenchSession&) = delete;
    SBenchSession& operator=(const SBenchSession&) = delete;

    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    QTemporaryDir files;
    CPedalEmulator pedal;
    CPedalSession session;
};

// Reproducible bytes that do not compress, as audio does not.
std::vector<unsigned char> bench_noise(size_t length, uint32_t seed);
