#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A stop request for the detection thread, waking it at once.
class CDetectStop {
public:
    void request();
    // Sleeps up to `period`; true when a stop was requested.
    bool wait_for(std::chrono::milliseconds period);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

// Body of the detection thread: every 200 ms counts the MIDI output ports and sets
// *changed when the count differs from the last one seen (0 before the first pass). It
// uses an output object of its own and survives a MIDI service that cannot be reached,
// trying again on the next pass. Runs until `stop` is requested; the program passes
// none and lets it run for the life of the process.
void MIDI_DEVICE_DETECT_THREAD(std::atomic<bool>* changed, CDetectStop* stop = nullptr);

// The detection thread as an object that stops and joins it when destroyed, for a
// window or test that does not live as long as the process.
class CMidiDeviceDetector {
public:
    explicit CMidiDeviceDetector(std::atomic<bool>* changed);
    ~CMidiDeviceDetector();
    CMidiDeviceDetector(const CMidiDeviceDetector&) = delete;
    CMidiDeviceDetector& operator=(const CMidiDeviceDetector&) = delete;

private:
    CDetectStop m_stop;
    std::thread m_thread;
};
