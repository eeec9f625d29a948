#include "device/device_detect.h"

#include "device/midi_system.h"

#include <QDebug>
#include <memory>

namespace {
constexpr std::chrono::milliseconds DETECT_PERIOD{200};

// Sleeps one period; true when a stop was requested meanwhile.
bool sleep_or_stop(CDetectStop* stop)
{
    if (stop)
        return stop->wait_for(DETECT_PERIOD);
    std::this_thread::sleep_for(DETECT_PERIOD);
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

void MIDI_DEVICE_DETECT_THREAD(std::atomic<bool>* changed, CDetectStop* stop)
{
    std::unique_ptr<CMidiOut> output;
    unsigned int last_count = 0;
    for (;;) {
        if (sleep_or_stop(stop))
            return;
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
            // No MIDI service for now: keep the last count and build a new object next pass.
            output.reset();
        }
    }
}

CMidiDeviceDetector::CMidiDeviceDetector(std::atomic<bool>* changed)
    : m_thread(MIDI_DEVICE_DETECT_THREAD, changed, &m_stop)
{
}

CMidiDeviceDetector::~CMidiDeviceDetector()
{
    m_stop.request();
    m_thread.join();
}
