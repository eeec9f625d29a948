#pragma once

#include "audio/loudness_meter.h"
#include "core/operation_result.h"

#include <QString>
#include <optional>
#include <vector>

class CPedalSession;
class CTask;

// The loudness of songs on the pedal: the library's figures where it has them, otherwise
// read from the pedal and measured, which also gives the library the figures.

struct SSlotLoudness {
    unsigned int slot = 0;  // 0-based
    SLoudness loudness;
    bool read_now = false;  // measured by reading the slot, not found in the library
};

// The slots among `wanted` holding a song the library has no figures for: those a
// measurement reads.
std::vector<unsigned int> slots_to_read(const CPedalSession& session,
                                        const std::vector<unsigned int>& wanted);
// "Reading 3 songs (12.30 MB) from the pedal takes about 0:21.", or empty when none is read.
QString loudness_read_notice(const CPedalSession& session, const std::vector<unsigned int>& wanted);

// The figures of the songs in `wanted` (0-based, each holding a song), in order; slots are
// read with the task's parts counting them, and may be cancelled between and within.
[[nodiscard]] COperationResult measure_slots(CPedalSession& session, const std::vector<unsigned int>& wanted,
                                             CTask* task, std::vector<SSlotLoudness>& figures);
