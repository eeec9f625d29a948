#pragma once

#include "emulator/emulated_flash.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

// How long a real pedal takes: its USB-MIDI link and its two flash chips. The emulator
// runs instant unless given realistic timing (tests run instant; the demo and the
// benchmarks run realistic).
using LinkClock = std::chrono::steady_clock;
using LinkDuration = std::chrono::nanoseconds;

// USB-MIDI on a full-speed bus: a 64-byte bulk packet carries 16 four-byte events of 3
// sysex bytes, and at most 19 such packets fit a 1 ms frame: 19 x 48 bytes per ms.
constexpr uint32_t kUsbMidiSysexBytesPerSecond = 912000;
// A request goes out in one USB frame and the reply is polled in the next.
constexpr std::chrono::microseconds kUsbRoundTrip{1000};

// Typical figures of an SLC NAND datasheet (4 KiB pages, 256 KiB blocks): tPROG 200-300 us,
// tBERS 1.5-3 ms, tR 25 us (the maxima are several times higher).
constexpr std::chrono::microseconds kNandPageProgram{250};
constexpr std::chrono::microseconds kNandBlockErase{2000};
constexpr std::chrono::microseconds kNandPageRead{25};
// Typical figures of a microcontroller's internal flash with 2 KiB sectors: a sector erase
// takes about 20 ms and each 32-bit word about 16 us to program; reads are memory reads.
constexpr std::chrono::microseconds kProgramFlashSectorErase{20000};
constexpr std::chrono::microseconds kProgramFlashWordProgram{16};
constexpr uint32_t kProgramFlashWordBytes = 4;

// The time one flash chip needs for a command.
struct SFlashTiming {
    LinkDuration erase{0};      // one erase unit
    uint32_t program_unit = 0;  // bytes programmed in one step; 0: the chip's page
    LinkDuration program{0};    // per program unit the range touches
    LinkDuration read{0};       // per page the range touches (reads and range checksums)

    [[nodiscard]] LinkDuration program_time(const SFlashGeometry& chip, uint32_t address,
                                            uint32_t length) const;
    [[nodiscard]] LinkDuration read_time(const SFlashGeometry& chip, uint32_t address, uint32_t length) const;
};

struct SPedalTiming {
    bool instant = true;  // no link or flash time at all; every figure below is ignored
    uint32_t sysex_bytes_per_second = kUsbMidiSysexBytesPerSecond;  // each direction
    LinkDuration round_trip = kUsbRoundTrip;                        // split evenly between the two directions
    SFlashTiming nand;
    SFlashTiming program_flash;

    // The figures above, with the given round trip.
    static SPedalTiming realistic(LinkDuration round_trip = kUsbRoundTrip);
    // Time the last of `wire_bytes` sysex bytes (framing included) needs behind the first.
    [[nodiscard]] LinkDuration wire_time(size_t wire_bytes) const;
};

// CLinkSchedule: when each message of a pedal's link arrives, computed, never measured.
// Each direction carries one message at a time; a message's last byte arrives at
//   max(end of the previous message, sent + round_trip / 2) + bytes / rate,
// and the pedal works on one request at a time, from max(arrival, end of its previous
// work). The schedule holds absolute times, so whoever waits for them waits on deadlines
// and the slack of one wait is not carried into the next. Not thread-safe.
class CLinkSchedule {
public:
    explicit CLinkSchedule(const SPedalTiming& timing = {}) : m_timing(timing) {}

    [[nodiscard]] const SPedalTiming& timing() const { return m_timing; }
    // A request of `wire_bytes` sent at `sent`: when the pedal has all of it.
    LinkClock::time_point request_arrival(LinkClock::time_point sent, size_t wire_bytes);
    // The pedal's work of `work` on a request that arrived at `arrival`: when it is done.
    LinkClock::time_point work_done(LinkClock::time_point arrival, LinkDuration work);
    // A reply of `wire_bytes` ready at `ready`: when the host has all of it.
    LinkClock::time_point reply_arrival(LinkClock::time_point ready, size_t wire_bytes);

private:
    // `free` is when a stage (a direction of the link, the pedal) is done with its last
    // message; a new one starts at `from` + `latency`, or once the stage is free.
    LinkClock::time_point occupy(LinkClock::time_point& free, LinkClock::time_point from,
                                 LinkDuration latency, LinkDuration length);

    SPedalTiming m_timing;
    LinkClock::time_point m_to_pedal_free{};
    LinkClock::time_point m_pedal_free{};
    LinkClock::time_point m_to_host_free{};
};
