#include "emulator/pedal_timing.h"

#include <algorithm>

namespace {

// Number of `unit`-byte units that [address, address + length) touches.
uint64_t units_touched(uint32_t unit, uint32_t address, uint32_t length)
{
    if (length == 0 || unit == 0)
        return 0;
    const uint64_t first = address / unit;
    const uint64_t last = (static_cast<uint64_t>(address) + length - 1) / unit;
    return last - first + 1;
}

}  // namespace

LinkDuration SFlashTiming::program_time(const SFlashGeometry& chip, uint32_t address, uint32_t length) const
{
    const uint32_t unit = program_unit ? program_unit : chip.page_size;
    return program * static_cast<int64_t>(units_touched(unit, address, length));
}

LinkDuration SFlashTiming::read_time(const SFlashGeometry& chip, uint32_t address, uint32_t length) const
{
    return read * static_cast<int64_t>(units_touched(chip.page_size, address, length));
}

SPedalTiming SPedalTiming::realistic(LinkDuration round_trip)
{
    SPedalTiming timing;
    timing.instant = false;
    timing.round_trip = round_trip;
    timing.nand = {kNandBlockErase, 0, kNandPageProgram, kNandPageRead};
    timing.program_flash = {kProgramFlashSectorErase, kProgramFlashWordBytes, kProgramFlashWordProgram,
                            LinkDuration{0}};
    return timing;
}

LinkDuration SPedalTiming::wire_time(size_t wire_bytes) const
{
    if (instant || sysex_bytes_per_second == 0)
        return LinkDuration{0};
    return LinkDuration{static_cast<int64_t>(wire_bytes * uint64_t{1000000000} / sysex_bytes_per_second)};
}

LinkClock::time_point CLinkSchedule::occupy(LinkClock::time_point& free, LinkClock::time_point from,
                                            LinkDuration latency, LinkDuration length)
{
    if (m_timing.instant)
        return from;
    free = std::max(free, from + latency) + length;
    return free;
}

LinkClock::time_point CLinkSchedule::request_arrival(LinkClock::time_point sent, size_t wire_bytes)
{
    return occupy(m_to_pedal_free, sent, m_timing.round_trip / 2, m_timing.wire_time(wire_bytes));
}

LinkClock::time_point CLinkSchedule::work_done(LinkClock::time_point arrival, LinkDuration work)
{
    return occupy(m_pedal_free, arrival, LinkDuration{0}, work);
}

LinkClock::time_point CLinkSchedule::reply_arrival(LinkClock::time_point ready, size_t wire_bytes)
{
    return occupy(m_to_host_free, ready, m_timing.round_trip / 2, m_timing.wire_time(wire_bytes));
}
