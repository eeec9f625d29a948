#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How often the detection thread looks. Without a MIDI service every look builds a MIDI
// library object that fails and prints its complaint to the console (two lines from the
// MIDI library and the sound system each time), so after a failure it waits longer; a
// pedal is still seen within that time once the service is back.
struct SDetectTiming {
    std::chrono::milliseconds period{200};
    std::chrono::milliseconds retry_after_failure{10000};
};

// A stop request for the detection thread, waking it at once. Also its clock: the
// thread sleeps only through wait_for, which a test may replace.
class CDetectStop {
public:
    virtual ~CDetectStop() = default;
    void request();
    // Sleeps up to `period`; true when a stop was requested.
    virtual bool wait_for(std::chrono::milliseconds period);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

// Called on the detection thread with the output port names, in enumeration order, on
// the first pass and each time they changed.
using PortsChanged = std::function<void(const std::vector<std::string>& output_names)>;

// Body of the detection thread: every period lists the MIDI output ports by name and,
// when the list differs from the last one seen (empty before the first pass), calls
// `on_change` and then sets *changed; `on_change` also hears the first pass's list. Names, not the count: a
// pedal unplugged while another device comes, or swapped for another, leaves the count as it was. It uses an
// output object of its own and survives a MIDI service that cannot be reached, trying
// again after `retry_after_failure`. Runs until `stop` is requested; the program passes
// none and lets it run for the life of the process.
void MIDI_DEVICE_DETECT_THREAD(std::atomic<bool>* changed, CDetectStop* stop = nullptr,
                               SDetectTiming timing = {}, PortsChanged on_change = nullptr);

// The detection thread as an object that stops and joins it when destroyed, for a
// window or test that does not live as long as the process.
class CMidiDeviceDetector {
public:
    explicit CMidiDeviceDetector(std::atomic<bool>* changed, SDetectTiming timing = {},
                                 PortsChanged on_change = nullptr);
    ~CMidiDeviceDetector();
    CMidiDeviceDetector(const CMidiDeviceDetector&) = delete;
    CMidiDeviceDetector& operator=(const CMidiDeviceDetector&) = delete;

private:
    CDetectStop m_stop;
    std::thread m_thread;
};
