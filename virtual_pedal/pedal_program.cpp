#include "virtual_pedal/pedal_program.h"

#include "device/rtmidi_backend.h"
#include "emulator/demo_flash_file.h"
#include "virtual_pedal/port_bridge.h"

#include <QFileInfo>
#include <ctime>
#include <memory>

namespace {

// How often the pedal's plug and the host's service are looked at: an unplug fault shows
// on the host's service, and the service's end in the program's end, this late at most.
constexpr long kWatchNanoseconds = 20'000'000;

std::unique_ptr<CPedalEmulator> make_pedal(CVirtualMidiSystem& midi, const SPedalProgramOptions& options)
{
    SPedalConfig config;
    config.product_id = options.product_id;
    config.plugged = false;
    if (options.realistic)
        config.timing = SPedalTiming::realistic();
    auto pedal = std::make_unique<CPedalEmulator>(midi, config);
    for (const SPedalFault& fault : options.faults)
        pedal->add_fault(fault);
    return pedal;
}

// Takes the flash file and loads it into the pedal, or makes it from the new pedal's flash.
bool open_flash(CDemoFlashFile& file, CPedalEmulator& pedal, std::FILE* err)
{
    EDemoFlashResult result = file.lock();
    if (result == EDemoFlashResult::OK)
        result = file.open(pedal);
    if (result == EDemoFlashResult::OK || result == EDemoFlashResult::NO_FILE)
        return true;
    std::fprintf(err, "%s: %s %s\n", qPrintable(file.path()), qPrintable(demo_flash_result_text(result)),
                 qPrintable(file.error_detail()));
    return false;
}

// Waits until a stop signal comes, the pedal is unplugged, it is time to unplug it, or the
// host's MIDI service stops.
void serve(CPedalEmulator& pedal, const CPortBridge& bridge, const SPedalProgramOptions& options,
           const sigset_t& stop_signals)
{
    const auto start = std::chrono::steady_clock::now();
    const timespec watch{0, kWatchNanoseconds};
    while (pedal.is_plugged() && !bridge.host_service_stopped() &&
           sigtimedwait(&stop_signals, nullptr, &watch) < 0) {
        if (options.unplug_after && std::chrono::steady_clock::now() - start >= *options.unplug_after)
            pedal.unplug();
    }
}

}  // namespace

int run_pedal_program(const SPedalProgramOptions& options, const sigset_t& stop_signals, std::FILE* out,
                      std::FILE* err)
{
    CVirtualMidiSystem midi;
    const std::unique_ptr<CPedalEmulator> pedal = make_pedal(midi, options);
    std::unique_ptr<CDemoFlashFile> file;
    if (!options.flash_path.isEmpty()) {
        file = std::make_unique<CDemoFlashFile>(QFileInfo(options.flash_path).absoluteFilePath());
        if (!open_flash(*file, *pedal, err))
            return PEDAL_EXIT_FLASH;
    }
    pedal->plug();
    choose_rtmidi_api(options.midi_api);
    try {
        const CPortBridge bridge(midi, pedal->port_name(), rtmidi_system());
        std::fprintf(out, "%s is plugged in on its MIDI ports '%s'. Stop it with Ctrl-C.\n",
                     pedal->port_name().c_str(), pedal->port_name().c_str());
        std::fflush(out);
        serve(*pedal, bridge, options, stop_signals);
        if (bridge.host_service_stopped()) {
            std::fprintf(err, "%s\n", qPrintable(midi_service_stopped_text()));
            return PEDAL_EXIT_MIDI_STOPPED;
        }
    } catch (const CMidiError& error) {
        std::fprintf(err, "The pedal's MIDI ports cannot be opened: %s\n", error.what());
        return PEDAL_EXIT_NO_MIDI;
    }
    if (!pedal->is_plugged()) {
        std::fprintf(out, "%s was unplugged.\n", pedal->port_name().c_str());
        std::fflush(out);
    }
    return PEDAL_EXIT_OK;
}
