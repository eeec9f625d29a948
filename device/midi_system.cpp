#include "device/midi_system.h"

#include "device/rtmidi_backend.h"
#include "support/log_file.h"

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

QString midi_unreachable_text()
{
    return QStringLiteral(
        "This computer's MIDI service cannot be reached, so Tandora cannot look for the pedal. "
        "Start Tandora with --demo to try it without a pedal.");
}

void log_midi_failure(const CMidiError& error)
{
    CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "MIDI service: %s", error.what());
}
