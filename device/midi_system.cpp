#include "device/midi_system.h"

#include "device/rtmidi_backend.h"
#include "support/log_file.h"

#include <atomic>

namespace {
std::atomic<CMidiSystem*> g_installed{nullptr};

[[noreturn]] void refuse_virtual_port()
{
    throw CMidiError("This MIDI service offers no ports of a program's own.");
}
}  // namespace

void CMidiIn::open_virtual_port(const std::string&)
{
    refuse_virtual_port();
}

void CMidiIn::set_service_end_callback(MidiServiceEndCallback, void*) {}

void CMidiOut::open_virtual_port(const std::string&)
{
    refuse_virtual_port();
}

std::optional<EMidiHostApi> midi_host_api_from_name(const QString& name)
{
    if (name == QLatin1String("alsa"))
        return EMidiHostApi::ALSA;
    if (name == QLatin1String("jack"))
        return EMidiHostApi::JACK;
    return std::nullopt;
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

QString midi_service_stopped_text()
{
    return QStringLiteral("The MIDI service stopped.");
}
