// Song transfer figures through the song store against the pedal emulator, with no added
// latency: a full-chain PULSE RING song written and read back, the peak resident memory of
// that write, and the requests one load of 30 occupied slots costs per slot; then the
// backup and restore figures of bench_backup.h, the set list's of bench_sync.h and the
// moves' of bench_moves.h.
#include "bench_backup.h"
#include "bench_moves.h"
#include "bench_pedal.h"
#include "bench_sync.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "songs/looper_song_data.h"
#include "songs/song_journal.h"

#include <QCoreApplication>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t PULSE_RING = 0x2712;
constexpr unsigned FULL_CHAIN = 41287680;  // 160 blocks of 64 pages of 4032 bytes
constexpr double MB = 1048576.0;

// Resident-set high-water mark in kB from /proc, 0 where the system has none.
long peak_resident_kb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

// Starts a new high-water mark at the present resident size (Linux 4.0 and later).
void reset_peak_resident()
{
    QFile clear_refs("/proc/self/clear_refs");
    if (clear_refs.open(QIODevice::WriteOnly))
        clear_refs.write("5");
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void fail(const char* what, int result)
{
    std::fprintf(stderr, "bench_songs: %s failed (%d)\n", what, result);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    CVirtualMidiSystem system;
    install_midi_system(&system);
    SPedalConfig config;
    config.product_id = PULSE_RING;
    CPedalEmulator pedal(system, config);
    CUSBConnect usb;
    if (!usb.open(0, true))
        fail("opening the emulated pedal", 0);
    CMemoryJournalStorage journal;
    CLooperSongData store(&usb);
    store.set_journal(&journal);
    if (const int result = store.load_song_info())
        fail("first load", result);

    const std::vector<unsigned char> song = bench_noise(FULL_CHAIN, 0x12345678);

    reset_peak_resident();
    auto start = std::chrono::steady_clock::now();
    if (const int result = store.write_file(0, song.data(), FULL_CHAIN, nullptr))
        fail("full-chain write", result);
    const double write_seconds = seconds_since(start);
    const long write_peak_kb = peak_resident_kb();

    if (const int result = store.load_song_info())
        fail("reload", result);
    std::vector<unsigned char> back(store.get_file_length(0));
    start = std::chrono::steady_clock::now();
    if (const int result = store.read_file(0, back.data(), static_cast<unsigned>(back.size()), nullptr))
        fail("full-chain read", result);
    const double read_seconds = seconds_since(start);
    if (back != song)
        fail("read-back comparison", 0);

    // Every slot holds a song, with journals of different depths so the searches differ.
    for (unsigned slot = 1; slot < store.slot_count(); ++slot)
        for (unsigned record = 0; record <= slot * 7 % 64; ++record)
            if (const int result = store.write_file(slot, song.data(), 192 * (1 + record % 4), nullptr))
                fail("slot write", result);
    pedal.clear_command_log();
    if (const int result = store.load_song_info())
        fail("30-slot load", result);
    const double round_trips = static_cast<double>(pedal.command_log().size()) / store.slot_count();

    std::printf("song write MB/s: %.1f\n", FULL_CHAIN / MB / write_seconds);
    std::printf("song read MB/s: %.1f\n", FULL_CHAIN / MB / read_seconds);
    std::printf("song write peak MB: %.1f\n", write_peak_kb / 1024.0);
    std::printf("load round trips per slot: %.2f\n", round_trips);
    install_midi_system(nullptr);
    return run_backup_benchmarks() + run_sync_benchmark() + run_move_benchmarks() == 0 ? 0 : 1;
}
