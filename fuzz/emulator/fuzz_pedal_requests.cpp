#include "emulator/host_port_pair.h"
#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Feeds arbitrary requests to an emulated pedal: the first byte picks update mode (packed
// packet, with the head forced on odd values so most inputs reach the command parser) or
// application mode (raw bytes); the rest is the request. The pedal must neither crash nor
// touch memory outside its buffers, whatever it is sent.
namespace {

struct SRig {
    CVirtualMidiSystem system;
    std::unique_ptr<CPedalEmulator> pedal;
    std::unique_ptr<CHostPortPair> host;

    SRig()
    {
        SPedalConfig config;
        config.nand = SFlashGeometry{131072, 2048, 16};  // small, so the fuzzer's writes stay cheap
        pedal = std::make_unique<CPedalEmulator>(system, config);
        host = std::make_unique<CHostPortPair>(system, pedal->port_name());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static SRig rig;
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    std::vector<uint8_t> request(data + 1, data + size);
    const bool update = (selector & 0x80) == 0;
    rig.pedal->set_mode(update ? EPedalMode::UPDATE : EPedalMode::APP);
    if (update && (selector & 1) && request.size() >= 2) {
        request[0] = pedal_wire::HEAD_0;
        request[1] = pedal_wire::HEAD_1;
    }
    rig.host->send_bytes(request, update);
    rig.pedal->wait_until_idle();
    while (rig.host->pending() > 0)
        static_cast<void>(rig.host->next());
    if (!rig.pedal->is_powered())
        rig.pedal->power_cycle();
    rig.pedal->clear_command_log();
    return 0;
}
