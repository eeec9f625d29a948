#include "bench_backup.h"

#include "bench_pedal.h"

#include "core/backup/backup_reader.h"
#include "core/backup/pedal_backup.h"
#include "core/backup/pedal_restore.h"
#include "core/backup/restore_plan.h"
#include "core/pedal_session.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "songs/looper_song_data.h"

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kPulseRing = 0x2712;
constexpr double kMB = 1048576.0;
constexpr uint64_t kBlockBytes = 64 * 4032;
constexpr uint64_t kFullPedalBytes = 1970 * kBlockBytes;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A pedal on its own port and a session open on it, holding `songs` songs of `length`.
struct SBenchPedal {
    SBenchPedal(CVirtualMidiSystem& system, unsigned songs, unsigned length)
    {
        SPedalConfig config;
        config.product_id = kPulseRing;
        pedal = std::make_unique<CPedalEmulator>(system, config);
        ok = session.search_and_open() && session.load_songs() == LOOPER_RESULT_OK;
        for (unsigned slot = 0; ok && slot < songs; ++slot) {
            const std::vector<unsigned char> song = bench_noise(length, slot + 1);
            ok = session.songs().write_file(slot, song.data(), length, nullptr) == LOOPER_RESULT_OK &&
                 session.songs().reload_slot(slot) == LOOPER_RESULT_OK;
        }
    }
    ~SBenchPedal() { session.close(); }

    std::unique_ptr<CPedalEmulator> pedal;
    CPedalSession session;
    bool ok = false;
};

bool restore_into(CPedalSession& session, const QString& folder)
{
    QString why;
    const std::optional<SBackupManifest> manifest = read_backup(folder, why);
    const std::optional<SRestorePlan> plan =
        manifest ? plan_restore(session, folder, *manifest, {}, why) : std::nullopt;
    if (!plan)
        std::fprintf(stderr, "bench_songs: restore refused: %s\n", qPrintable(why));
    return plan && restore_pedal(session, *plan, nullptr).ok();
}

int bench_instant(CVirtualMidiSystem& system, const QTemporaryDir& files)
{
    constexpr unsigned kSongs = 4;
    constexpr unsigned kLength = 40 * kBlockBytes;
    const QString folder = files.filePath("instant");
    double backup_seconds = 0;
    {
        SBenchPedal source(system, kSongs, kLength);
        const auto start = std::chrono::steady_clock::now();
        if (!source.ok || !backup_pedal(source.session, folder, {}, nullptr).ok())
            return 1;
        backup_seconds = seconds_since(start);
    }
    SBenchPedal target(system, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    if (!target.ok || !restore_into(target.session, folder))
        return 1;
    const double restore_seconds = seconds_since(start);
    std::printf("backup MB/s: %.1f\n", kSongs * kLength / kMB / backup_seconds);
    std::printf("restore MB/s: %.1f\n", kSongs * kLength / kMB / restore_seconds);
    return 0;
}

int bench_realistic(CVirtualMidiSystem& system, const QTemporaryDir& files)
{
    // 8 blocks: a few seconds over the link, enough for the per-page cost to dominate.
    constexpr unsigned kLength = 8 * kBlockBytes;
    SBenchPedal pedal(system, 1, kLength);
    if (!pedal.ok)
        return 1;
    pedal.pedal->set_timing(SPedalTiming::realistic());
    const auto start = std::chrono::steady_clock::now();
    if (!backup_pedal(pedal.session, files.filePath("realistic"), {}, nullptr).ok())
        return 1;
    const double measured = seconds_since(start);
    std::printf("full backup full pedal seconds: %.0f\n", measured * kFullPedalBytes / kLength);
    return 0;
}

// A full pedal (30 songs of 65 blocks) backed up at instant pace, then again over the
// realistic link taking every unchanged song from that first backup: only the pedal's
// block sums cross the link.
int bench_incremental(CVirtualMidiSystem& system, const QTemporaryDir& files)
{
    constexpr unsigned kSongs = 30;
    constexpr unsigned kLength = 65 * kBlockBytes;
    SBenchPedal pedal(system, kSongs, kLength);
    if (!pedal.ok || !backup_pedal(pedal.session, files.filePath("full"), {}, nullptr).ok())
        return 1;
    pedal.pedal->set_timing(SPedalTiming::realistic());
    SBackupOptions options;
    options.since = files.filePath("full");
    const auto start = std::chrono::steady_clock::now();
    const COperationResult result =
        backup_pedal(pedal.session, files.filePath("incremental"), options, nullptr);
    if (!result.ok() || !result.notes().isEmpty())
        return 1;
    std::printf("incremental backup unchanged full pedal seconds: %.1f\n", seconds_since(start));
    return 0;
}

}  // namespace

int run_backup_benchmarks()
{
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    QTemporaryDir files;
    int failures = files.isValid() ? 0 : 1;
    if (!failures)
        failures =
            bench_instant(system, files) + bench_realistic(system, files) + bench_incremental(system, files);
    install_midi_system(previous);
    if (failures)
        std::fprintf(stderr, "bench_songs: a backup benchmark failed\n");
    return failures;
}
