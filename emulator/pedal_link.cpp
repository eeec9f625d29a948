#include "emulator/pedal_emulator.h"

void CPedalEmulator::set_timing(const SPedalTiming& timing)
{
    std::lock_guard<std::mutex> lock(m_link_mutex);
    m_link = CLinkSchedule(timing);
}

SPedalTiming CPedalEmulator::timing() const
{
    std::lock_guard<std::mutex> lock(m_link_mutex);
    return m_link.timing();
}

void CPedalEmulator::add_flash_work(const CEmulatedFlash& flash, EFlashWork work, uint32_t address,
                                    uint32_t length)
{
    std::lock_guard<std::mutex> lock(m_link_mutex);
    const SPedalTiming& timing = m_link.timing();
    if (timing.instant)
        return;
    const SFlashTiming& chip = &flash == &m_nand ? timing.nand : timing.program_flash;
    switch (work) {
        case EFlashWork::ERASE:
            m_work += chip.erase;
            break;
        case EFlashWork::PROGRAM:
            m_work += chip.program_time(flash.geometry(), address, length);
            break;
        case EFlashWork::READ:
            m_work += chip.read_time(flash.geometry(), address, length);
            break;
    }
}

LinkClock::time_point CPedalEmulator::work_end()
{
    if (!m_work_end)
        m_work_end = m_link.work_done(m_arrival, m_work);
    return *m_work_end;
}

// An instant link keeps the plain reply latency; a realistic one waits for the computed
// moment the reply's last byte reaches the host, so no wait's slack is carried forward.
void CPedalEmulator::wait_for_reply(std::chrono::microseconds extra, size_t wire_bytes)
{
    LinkClock::time_point deadline;
    {
        std::lock_guard<std::mutex> lock(m_link_mutex);
        if (m_link.timing().instant) {
            deadline = LinkClock::now() + extra;
        } else {
            deadline = m_link.reply_arrival(work_end() + extra, wire_bytes);
        }
    }
    if (deadline > LinkClock::now())
        m_worker.pause_until(deadline);
}
