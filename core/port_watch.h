#pragma once

#include <atomic>
#include <memory>

class CMidiDeviceDetector;
class CPedalSession;

// Watches the MIDI ports from a thread of its own for as long as it lives: each change of
// the port list sets `changed` for the front end to look again, and a pedal whose ports
// went away has its session's reply waits ended at once, so a command under way fails now
// instead of after its time-out. Stopped and joined when destroyed, before the session.
class CPortWatch {
public:
    CPortWatch(CPedalSession& session, std::atomic<bool>* changed);
    ~CPortWatch();
    CPortWatch(const CPortWatch&) = delete;
    CPortWatch& operator=(const CPortWatch&) = delete;

private:
    std::unique_ptr<CMidiDeviceDetector> m_detector;
};
