// A song written to and read from an emulated PULSE RING over a realistic link (USB-MIDI
// full speed, 1 ms round trip, NAND program and erase times), through the program's device
// layer, block by block and page by page as the song store does. Figures:
//   link efficiency: the time an ideal stop-and-wait exchange needs (every byte of both
//     directions on the wire, plus per command one round trip and the pedal's flash time)
//     divided by the time measured;
//   wire fraction: the song alone, packed, at the link's rate, divided by the time measured;
//   demo flash file MB: the saved flash of a pedal holding one 4-minute song.
#include "bench_song_link.h"

#include "device/nand_flash_config.h"
#include "device/port_pairs.h"
#include "device/rtmidi_backend.h"
#include "device/usb_connect.h"
#include "emulator/demo_flash_file.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "virtual_pedal/port_bridge.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <vector>

#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;

const SNandFlashConfig& kNand = g_sNand_256K_1970_BLOCKS;
constexpr unsigned int kLongestSong = 41287680;            // 160 blocks of 64 pages of 4032 bytes
constexpr unsigned int kFourMinuteSong = 240 * 46875 * 3;  // mono, 24-bit
constexpr unsigned int kFirstBlock = 100;
// Over JACK each message waits for the server's cycles: a shorter song keeps the run short.
constexpr unsigned int kJackSong = 4 * 64 * 4032;

// Sysex bytes on the wire for a packet of n bytes: packed 8 to 7, framed F0 ... F7.
size_t wire_bytes(size_t packet)
{
    return 2 + (8 * packet + 6) / 7;
}

uint32_t page_address(unsigned int block, unsigned int page)
{
    return kNand.base_addr + block * kNand.block_size + page * kNand.page_size;
}

// The first block of a chain keeps its first chunk in its last page.
unsigned int chunk_page(unsigned int block_index, unsigned int chunk)
{
    if (block_index != 0)
        return chunk;
    return chunk == 0 ? kNand.pages_per_block - 1 : chunk - 1;
}

std::vector<unsigned char> song_bytes(unsigned int length)
{
    std::vector<unsigned char> data(length);
    uint32_t state = 2024;
    for (auto& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(state >> 24);
    }
    return data;
}

bool write_song(CUSBConnect& link, const std::vector<unsigned char>& song)
{
    const auto length = static_cast<unsigned int>(song.size());
    std::vector<unsigned char> padded;
    unsigned int written = 0;
    for (unsigned int index = 0; written < length; ++index) {
        if (!link.flash_erase(FLASH_TYPE_NAND, page_address(kFirstBlock + index, 0)))
            return false;
        for (unsigned int chunk = 0; chunk < kNand.pages_per_block && written < length; ++chunk) {
            const unsigned int take = std::min(kNand.page_data_size, length - written);
            const unsigned int send = (take + kNand.unit_size - 1) / kNand.unit_size * kNand.unit_size;
            padded.assign(song.begin() + written, song.begin() + written + take);
            padded.resize(send, 0);
            if (!link.flash_write(FLASH_TYPE_NAND,
                                  page_address(kFirstBlock + index, chunk_page(index, chunk)), padded.data(),
                                  send, nullptr))
                return false;
            written += take;
        }
    }
    return true;
}

bool read_song(CUSBConnect& link, std::vector<unsigned char>& song)
{
    const auto length = static_cast<unsigned int>(song.size());
    std::vector<unsigned char> page(kNand.page_data_size);
    unsigned int copied = 0;
    for (unsigned int index = 0; copied < length; ++index) {
        for (unsigned int chunk = 0; chunk < kNand.pages_per_block && copied < length; ++chunk) {
            if (!link.flash_read(FLASH_TYPE_NAND, page_address(kFirstBlock + index, chunk_page(index, chunk)),
                                 page.data(), kNand.page_data_size))
                return false;
            const unsigned int take = std::min(kNand.page_data_size, length - copied);
            std::copy(page.begin(), page.begin() + take, song.begin() + copied);
            copied += take;
        }
    }
    return true;
}

// The ideal stop-and-wait time of the commands the pedal logged.
double ideal_seconds(CPedalEmulator& pedal, const std::vector<SPedalCommandRecord>& commands)
{
    const SPedalTiming timing = pedal.timing();
    const SFlashGeometry chip = pedal.nand().geometry();
    LinkDuration total{0};
    for (const SPedalCommandRecord& command : commands) {
        size_t request = 12;
        size_t reply = 8;
        LinkDuration work = timing.nand.erase;
        if (command.command == 0x22) {
            request = command.length + 15;
            work = timing.nand.program_time(chip, command.address, command.length);
        } else if (command.command == 0x23) {
            request = 15;
            reply = command.length + 15;
            work = timing.nand.read_time(chip, command.address, command.length);
        }
        total += timing.wire_time(wire_bytes(request)) + timing.wire_time(wire_bytes(reply)) +
                 timing.round_trip + work;
    }
    return std::chrono::duration<double>(total).count();
}

double wire_floor_seconds(const SPedalTiming& timing, size_t song)
{
    return std::chrono::duration<double>(timing.wire_time((8 * song + 6) / 7)).count();
}

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The song written as bench_realistic_song writes it, timed against the ideal exchange.
double write_efficiency(CPedalEmulator& pedal, CUSBConnect& link, const std::vector<unsigned char>& song,
                        int& failures)
{
    pedal.clear_command_log();
    const auto start = Clock::now();
    failures += write_song(link, song) ? 0 : 1;
    const double measured = seconds_since(start);
    return ideal_seconds(pedal, pedal.command_log()) / measured;
}

int bench_realistic_song(CVirtualMidiSystem& system)
{
    SPedalConfig config;
    config.timing = SPedalTiming::realistic();
    CPedalEmulator pedal(system, config);
    CUSBConnect link;
    if (!link.open(0, true) || !link.is_in_update_mode()) {
        std::printf("no pedal in update mode\n");
        return 1;
    }
    const std::vector<unsigned char> song = song_bytes(kLongestSong);

    auto start = Clock::now();
    int failures = 0;
    std::printf("link efficiency song write: %.3f\n", write_efficiency(pedal, link, song, failures));
    double measured = seconds_since(start);
    std::printf("wire fraction song write: %.3f\n",
                wire_floor_seconds(pedal.timing(), song.size()) / measured);
    std::printf("song write s: %.2f\n", measured);

    std::vector<unsigned char> back(song.size());
    pedal.clear_command_log();
    start = Clock::now();
    failures += read_song(link, back) ? 0 : 1;
    measured = seconds_since(start);
    std::printf("link efficiency song read: %.3f\n", ideal_seconds(pedal, pedal.command_log()) / measured);
    std::printf("wire fraction song read: %.3f\n",
                wire_floor_seconds(pedal.timing(), song.size()) / measured);
    std::printf("song read s: %.2f\n", measured);
    return failures + (back != song ? 1 : 0);
}

// The audio pages of the song as the store writes them, and one info record page in the
// slot's info block (the store's "HD" record, here only its size matters).
int bench_demo_flash_file(CVirtualMidiSystem& system)
{
    CPedalEmulator pedal(system);
    QTemporaryDir dir;
    CDemoFlashFile file(dir.filePath("demo-pedal.flash"));
    if (file.lock() != EDemoFlashResult::OK || file.open(pedal) != EDemoFlashResult::NO_FILE)
        return 1;
    CUSBConnect link;
    if (!link.open(0, true))
        return 1;
    int failures = write_song(link, song_bytes(kFourMinuteSong)) ? 0 : 1;
    const std::vector<unsigned char> info(kNand.unit_size, 0x48);
    const uint32_t info_block = page_address(kNand.song_blocks, 0);
    failures += link.flash_erase(FLASH_TYPE_NAND, info_block) ? 0 : 1;
    failures += link.flash_write(FLASH_TYPE_NAND, info_block, info.data(), kNand.unit_size, nullptr) ? 0 : 1;

    struct stat status {};
    if (::stat(QFile::encodeName(file.path()).constData(), &status) != 0)
        return failures + 1;
    std::printf("demo flash file MB after one 4-minute song: %.2f\n", double(status.st_blocks) * 512 / 1e6);
    return failures;
}

}  // namespace

int run_jack_song_benchmark()
{
    choose_rtmidi_api(EMidiHostApi::JACK);
    CVirtualMidiSystem pedal_side;
    SPedalConfig config;
    config.timing = SPedalTiming::realistic();
    CPedalEmulator pedal(pedal_side, config);
    int failures = 0;
    try {
        const CPortBridge bridge(pedal_side, pedal.port_name(), rtmidi_system());
        CUSBConnect link;
        for (const SMidiPortPair& pair : list_midi_port_pairs()) {
            if (pair.name == pedal.port_name() + ":" + pedal.port_name() && link.open(pair.ports, true))
                break;
        }
        if (!link.is_in_update_mode()) {
            std::printf("no pedal in update mode on JACK\n");
            return 1;
        }
        std::printf("link efficiency song write jack: %.3f\n",
                    write_efficiency(pedal, link, song_bytes(kJackSong), failures));
    } catch (const CMidiError& error) {
        std::printf("JACK: %s\n", error.what());
        return 1;
    }
    return failures;
}

int run_song_link_benchmarks()
{
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    int failures = bench_demo_flash_file(system);
    failures += bench_realistic_song(system);
    install_midi_system(previous);
    if (failures)
        std::printf("song link failures: %d\n", failures);
    return failures;
}
