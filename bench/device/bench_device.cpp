// Throughput of the device link: the 8-to-7 packing alone, flash writes and reads of
// 16 MiB through the link against the pedal emulator with no added latency, the round
// trip of one write chunk, and the processor time spent while a reply is awaited. With
// --midi-api jack, a song write over RtMidi's JACK ports instead.
#include "bench_song_link.h"
#include "device/sysex_packing.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double megabytes_per_second(double bytes, double seconds)
{
    return bytes / 1e6 / seconds;
}

std::vector<unsigned char> test_data(size_t n)
{
    std::vector<unsigned char> data(n);
    unsigned int state = 12345;
    for (auto& byte : data) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(state >> 16);
    }
    return data;
}

void bench_packing()
{
    constexpr unsigned int block = 5135;  // the largest message the link sends
    constexpr unsigned int rounds = 40000;
    const std::vector<unsigned char> data = test_data(block);
    std::vector<unsigned char> packed(packed_sysex_size(block));
    std::vector<unsigned char> unpacked(block);
    unsigned int check = 0;

    auto start = Clock::now();
    for (unsigned int k = 0; k < rounds; ++k) {
        pack_8_to_7(data.data(), block, packed.data());
        check += packed[k % packed.size()];
    }
    std::printf("pack MB/s: %.0f\n", megabytes_per_second(double(block) * rounds, seconds_since(start)));

    // The link unpacks as the bytes leave the input ring, one data byte at a time.
    start = Clock::now();
    for (unsigned int k = 0; k < rounds; ++k) {
        CSysexUnpacker unpacker;
        unsigned int stored = 0;
        for (const unsigned char data_byte : packed) {
            if (unpacker.feed(data_byte, unpacked[stored]))
                ++stored;
        }
        check += unpacked[k % block];
    }
    std::printf("unpack MB/s: %.0f\n", megabytes_per_second(double(block) * rounds, seconds_since(start)));
    if (unpacked != data || check == 0)
        std::printf("unpack mismatch\n");
}

// Processor time of the calling thread and of the whole process, in seconds.
double thread_cpu_seconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int run_link_benchmarks()
{
    CVirtualMidiSystem system;
    install_midi_system(&system);
    int failures = 0;
    {
        CPedalEmulator pedal(system);
        CUSBConnect link;
        if (!link.open(0, true) || !link.is_in_update_mode()) {
            std::printf("no pedal in update mode\n");
            install_midi_system(nullptr);
            return 1;
        }
        constexpr unsigned int size = 16u << 20;
        const std::vector<unsigned char> data = test_data(size);

        auto start = Clock::now();
        failures += !link.flash_write(FLASH_TYPE_NAND, 0, data.data(), size, nullptr);
        std::printf("flash_write MB/s: %.1f\n", megabytes_per_second(size, seconds_since(start)));

        std::vector<unsigned char> back(size);
        start = Clock::now();
        failures += !link.flash_read(FLASH_TYPE_NAND, 0, back.data(), size);
        std::printf("flash_read MB/s: %.1f\n", megabytes_per_second(size, seconds_since(start)));
        failures += back != data;

        std::vector<double> trips;
        for (int k = 0; k < 300; ++k) {
            start = Clock::now();
            failures += !link.flash_write(FLASH_TYPE_NAND, 0x2000000, data.data(), 5120, nullptr);
            trips.push_back(seconds_since(start) * 1e6);
        }
        std::nth_element(trips.begin(), trips.begin() + trips.size() / 2, trips.end());
        std::printf("round trip us: %.0f\n", trips[trips.size() / 2]);

        // A pedal busy erasing answers late: the link waits out 2000 ms on an empty input
        // while nothing arrives.
        pedal.add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, 0x24));
        const double thread_before = thread_cpu_seconds(RUSAGE_THREAD);
        const double process_before = thread_cpu_seconds(RUSAGE_SELF);
        start = Clock::now();
        unsigned int sum = 0;
        failures += link.send_flash_checksum_request(FLASH_TYPE_NAND, 0, 16) ? 0 : 1;
        EFlashType type = FLASH_TYPE_NAND;
        unsigned int address = 0;
        unsigned int length = 0;
        failures += link.get_flash_checksum_responds(type, address, length, sum, 2000) ? 1 : 0;
        const double wall = seconds_since(start);
        std::printf("await wall ms: %.0f\n", wall * 1e3);
        std::printf("await cpu %% (reading thread): %.2f\n",
                    100.0 * (thread_cpu_seconds(RUSAGE_THREAD) - thread_before) / wall);
        std::printf("await cpu %% (process): %.2f\n",
                    100.0 * (thread_cpu_seconds(RUSAGE_SELF) - process_before) / wall);
    }
    install_midi_system(nullptr);
    if (failures)
        std::printf("failures: %d\n", failures);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // --midi-api jack: the song write over JACK alone, for information.
    if (app.arguments().mid(1) == QStringList{"--midi-api", "jack"})
        return run_jack_song_benchmark() ? 1 : 0;
    bench_packing();
    const int failures = run_link_benchmarks();
    return failures + run_song_link_benchmarks() ? 1 : 0;
}
