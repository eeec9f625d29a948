#include "device/device_detect.h"

#include "device/midi_system.h"

#include <QDebug>
#include <memory>

namespace {
// Sleeps `period`; true when a stop was requested meanwhile.
bool sleep_or_stop(CDetectStop* stop, std::chrono::milliseconds period)
{
    if (stop)
        return stop->wait_for(period);
    std::this_thread::sleep_for(period);
    return false;
}
}  // namespace

void CDetectStop::request()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
}

bool CDetectStop::wait_for(std::chrono::milliseconds period)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, period, [this] { return m_stop; });
}

void MIDI_DEVICE_DETECT_THREAD(std::atomic<bool>* changed, CDetectStop* stop, SDetectTiming timing)
{
    std::unique_ptr<CMidiOut> output;
    unsigned int last_count = 0;
    std::chrono::milliseconds wait = timing.period;
    for (;;) {
        if (sleep_or_stop(stop, wait))
            return;
        wait = timing.period;
        try {
            if (!output)
                output = midi_system().make_output("RtMidi Output Client");
            const unsigned int count = output->port_count();
            if (count != last_count) {
                qDebug("Thread detect MIDI out dev changed ....");
                changed->store(true, std::memory_order_release);
                last_count = count;
            }
        } catch (const CMidiError&) {
            // No MIDI service for now: keep the last count and build a new object later.
            output.reset();
            wait = timing.retry_after_failure;
        }
    }
}

CMidiDeviceDetector::CMidiDeviceDetector(std::atomic<bool>* changed, SDetectTiming timing)
    : m_thread(MIDI_DEVICE_DETECT_THREAD, changed, &m_stop, timing)
{
}

CMidiDeviceDetector::~CMidiDeviceDetector()
{
    m_stop.request();
    m_thread.join();
}
