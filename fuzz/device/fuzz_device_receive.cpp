// Arbitrary bytes from the pedal's side: they arrive as MIDI messages in the link's input
// ring and are taken apart by the transport and every reply reader, in both transfer
// modes. Separately, the same bytes drive a small ring.
#include "device/byte_cycle_array.h"
#include "device/usb_connect.h"
#include "emulator/virtual_midi_system.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

void drop_message(QtMsgType, const QMessageLogContext&, const QString&) {}

// The input is all there before a read starts, so every wait is for silence: it ends at
// its deadline at once.
class CJumpingClock final : public CWaitClock {
public:
    time_point now() const override { return m_now; }
    void wait_until(std::condition_variable&, std::unique_lock<std::mutex>&, time_point deadline,
                    const std::function<bool()>& ready) override
    {
        if (!ready())
            m_now = deadline;
    }

private:
    std::atomic<time_point> m_now{};
};

// A link whose ports are open on a silent virtual device, set up once.
struct SHarness {
    SHarness()
    {
        qInstallMessageHandler(drop_message);
        install_midi_system(&system);
        device = system.plug_device("Fuzz Pedal", [](const std::vector<unsigned char>&) {});
        link = std::make_unique<CUSBConnect>();
        ports_open = link->port().open(0, TRANSFER_MODE_UPDATE, true);
        link->port().transfer().set_clock(&clock);
    }
    CJumpingClock clock;
    CVirtualMidiSystem system;
    CVirtualMidiSystem::DeviceId device = 0;
    std::unique_ptr<CUSBConnect> link;
    bool ports_open = false;
};

SHarness& harness()
{
    static SHarness* instance = new SHarness;  // lives to process exit with its threads
    return *instance;
}

// Splits the input into messages at every F7, as a device would send them.
void deliver(CMIDITranfer& transfer, const uint8_t* data, size_t size)
{
    std::vector<unsigned char> message;
    for (size_t k = 0; k < size; ++k) {
        message.push_back(data[k]);
        if (data[k] == 0xF7 || k + 1 == size) {
            transfer.ReceiveEvent(&message);
            message.clear();
        }
    }
}

void run_readers(CUSBConnect& link, uint8_t selector, const uint8_t* data, size_t size)
{
    CMIDITranfer& transfer = link.port().transfer();
    const bool update_mode = (selector & 0x80) == 0;
    if (!link.port().set_transfer_mode(update_mode ? TRANSFER_MODE_UPDATE : TRANSFER_MODE_APP))
        return;
    deliver(transfer, data, size);

    // Every buffer is exactly as long as the reader is told, so AddressSanitizer catches
    // a reader that stores one byte too many. Success and failure are both fine.
    const unsigned int n = (static_cast<unsigned int>(selector) * 41) % 5106;
    const unsigned int len = 1 + selector % 64;
    EFlashType type = FLASH_TYPE_SYSTEM;
    unsigned int address = 0;
    unsigned int length = 0;
    unsigned int sum = 0;
    unsigned int got = 0;
    unsigned int count = 0;
    int status = 0;
    bool answered = false;
    switch (selector % 5) {
        case 0:
            answered = link.get_responds_responds(status, 3);
            if (answered && (status < 0 || status > 0xFF))
                __builtin_trap();
            break;
        case 1: {
            std::vector<unsigned char> reply(CUSBConnect::QUERY_REPLY_SIZE);
            answered = link.get_query_responds(QUERY_NAME_AND_VERSION, reply.data(),
                                               CUSBConnect::QUERY_REPLY_SIZE, got, 3);
            if (answered && reply[2] != QUERY_NAME_AND_VERSION)
                __builtin_trap();
            break;
        }
        case 2: {
            std::vector<unsigned char> payload(n);
            answered = link.get_upload_responds(payload.data(), n, type, address, length, 3);
            if (answered && static_cast<unsigned int>(type) > 0xFF)
                __builtin_trap();
            break;
        }
        case 3:
            answered = link.get_flash_checksum_responds(type, address, length, sum, 3);
            if (answered && sum > 0xFFFF)
                __builtin_trap();
            break;
        default: {
            std::vector<unsigned char> message(len);
            answered = link.port().Read(message.data(), len, count, 3);
            if (answered && (count == 0 || count > len))
                __builtin_trap();
            break;
        }
    }
    transfer.clear_midi_in_buffer();
}

void run_ring(const uint8_t* data, size_t size)
{
    SByteCycleArray ring(13);
    unsigned char b;
    for (size_t k = 0; k < size; ++k) {
        const unsigned int n = data[k] % 9;
        if (data[k] & 0x80) {
            if (!ring.Write(data + k, static_cast<unsigned int>(std::min<size_t>(n, size - k))))
                ring.Clear();
        } else {
            for (unsigned int j = 0; j < n && ring.Read(b); ++j) {
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 20000)
        return 0;
    SHarness& h = harness();
    if (!h.ports_open)
        __builtin_trap();
    run_readers(*h.link, data[0], data + 1, size - 1);
    run_ring(data, size);
    return 0;
}
