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

std::vector<std::string> output_names(CMidiOut& output)
{
    std::vector<std::string> names;
    const unsigned int count = output.port_count();
    names.reserve(count);
    for (unsigned int port = 0; port < count; ++port)
        names.push_back(output.port_name(port));
    return names;
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

void MIDI_DEVICE_DETECT_THREAD(std::atomic<bool>* changed, CDetectStop* stop, SDetectTiming timing,
                               PortsChanged on_change)
{
    std::unique_ptr<CMidiOut> output;
    std::vector<std::string> last_names;
    bool first_pass = true;
    std::chrono::milliseconds wait = timing.period;
    for (;;) {
        if (sleep_or_stop(stop, wait))
            return;
        wait = timing.period;
        try {
            if (!output)
                output = midi_system().make_output("RtMidi Output Client");
            std::vector<std::string> names = output_names(*output);
            const bool differ = names != last_names;
            // The first list goes out even when empty: a pedal may have left before it.
            if (on_change && (differ || first_pass))
                on_change(names);
            first_pass = false;
            if (differ) {
                qDebug("Thread detect MIDI out dev changed ....");
                changed->store(true, std::memory_order_release);
                last_names = std::move(names);
            }
        } catch (const CMidiError&) {
            // No MIDI service for now: keep the last list and build a new object later.
            output.reset();
            wait = timing.retry_after_failure;
        }
    }
}

CMidiDeviceDetector::CMidiDeviceDetector(std::atomic<bool>* changed, SDetectTiming timing,
                                         PortsChanged on_change)
    : m_thread(MIDI_DEVICE_DETECT_THREAD, changed, &m_stop, timing, std::move(on_change))
{
}

CMidiDeviceDetector::~CMidiDeviceDetector()
{
    m_stop.request();
    m_thread.join();
}
