#include "device/midi_system.h"

#include "device/rtmidi_backend.h"

#include <atomic>

namespace {
std::atomic<CMidiSystem*> g_installed{nullptr};
}

CMidiSystem& midi_system()
{
    CMidiSystem* installed = g_installed.load(std::memory_order_acquire);
    return installed ? *installed : rtmidi_system();
}

CMidiSystem* install_midi_system(CMidiSystem* system)
{
    return g_installed.exchange(system, std::memory_order_acq_rel);
}
