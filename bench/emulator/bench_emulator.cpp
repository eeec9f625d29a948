#include "demo_list_cost.h"
#include "emulator/host_port_pair.h"
#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"

#include <chrono>
#include <cstdio>

// Pushes 16 MiB through the virtual MIDI system into an emulated PULSE RING's NAND and
// reads it back, one request and one awaited reply at a time as the program does, with
// 5120-byte writes and 5105-byte reads. Prints the emulator's side of the link speed: the
// program's transport adds its own costs on top.
namespace {

constexpr uint32_t TOTAL = 16u << 20;
constexpr uint32_t WRITE_CHUNK = 5120;
constexpr uint32_t READ_CHUNK = 5105;

std::vector<uint8_t> flash_payload(uint32_t address, uint32_t length)
{
    std::vector<uint8_t> payload{1};
    pedal_wire::put_le(payload, address, 4);
    pedal_wire::put_le(payload, length, 3);
    return payload;
}

bool round_trip(CHostPortPair& host, uint8_t command, const std::vector<uint8_t>& payload,
                size_t reply_length)
{
    host.send_bytes(pedal_wire::make_packet(command, payload), true);
    const auto reply = host.next_bytes(true);
    return reply && reply->size() == reply_length;
}

double megabytes_per_second(uint32_t bytes, std::chrono::steady_clock::duration elapsed)
{
    return bytes / 1e6 / std::chrono::duration<double>(elapsed).count();
}

}  // namespace

int main()
{
    // First, while this process is small: a child's peak counts the pages it forked with.
    int failures = bench_demo_list_cost();

    CVirtualMidiSystem system;
    CPedalEmulator pedal(system);
    CHostPortPair host(system, pedal.port_name());

    std::vector<uint8_t> data(TOTAL);
    for (uint32_t i = 0; i < TOTAL; ++i)
        data[i] = static_cast<uint8_t>(i * 31 + (i >> 12));

    auto start = std::chrono::steady_clock::now();
    for (uint32_t address = 0; address < TOTAL; address += WRITE_CHUNK) {
        const uint32_t length = std::min(WRITE_CHUNK, TOTAL - address);
        auto payload = flash_payload(address, length);
        payload.insert(payload.end(), data.begin() + address, data.begin() + address + length);
        if (!round_trip(host, 0x22, payload, 8)) {
            std::printf("write failed at 0x%08X\n", address);
            return 1;
        }
    }
    const auto written = std::chrono::steady_clock::now() - start;

    start = std::chrono::steady_clock::now();
    for (uint32_t address = 0; address < TOTAL; address += READ_CHUNK) {
        const uint32_t length = std::min(READ_CHUNK, TOTAL - address);
        if (!round_trip(host, 0x23, flash_payload(address, length), length + 15)) {
            std::printf("read failed at 0x%08X\n", address);
            return 1;
        }
    }
    const auto read = std::chrono::steady_clock::now() - start;

    std::printf("emulator nand write MB/s: %.1f\n", megabytes_per_second(TOTAL, written));
    std::printf("emulator nand read MB/s: %.1f\n", megabytes_per_second(TOTAL, read));
    std::printf("emulator nand stored pages: %u\n", pedal.nand().stored_page_count());
    std::printf("emulator nand double programs: %u\n", pedal.nand().double_program_count());
    failures += pedal.nand().read(TOTAL - 4, 4) == std::vector<uint8_t>(data.end() - 4, data.end()) ? 0 : 1;
    return failures;
}
