#include "demo_list_cost.h"

#include "support/little_endian.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kSongs = 14;
// 46875 Hz mono, the PULSE RING's own rate, so the import does not resample.
constexpr uint32_t kRate = 46875;
constexpr uint32_t kSamples = kRate * 240;
constexpr int kRuns = 3;

struct SChildCost {
    bool ok = false;
    double seconds = 0;
    double peak_mb = 0;
};

// Runs the tool with its output dropped; its time and peak resident size. A forked child
// starts with the resident pages of this process counted in its peak (a vfork-style spawn
// with its whole peak), so the caller measures while it is still small.
SChildCost run_cli(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), TANDORA_CLI);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    SChildCost cost;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return cost;
    cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cost.peak_mb = double(usage.ru_maxrss) * 1024 / (1 << 20);  // ru_maxrss is in KiB
    cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

bool write_song_file(const std::string& path)
{
    std::vector<unsigned char> bytes(44 + size_t{kSamples} * 2);
    unsigned char* at = bytes.data();
    const auto text = [&](const char* four) {
        std::copy(four, four + 4, at);
        at += 4;
    };
    text("RIFF");
    at = LE::write32(at, static_cast<uint32_t>(bytes.size() - 8));
    text("WAVE");
    text("fmt ");
    at = LE::write32(at, 16);
    at = LE::write16(at, 1);
    at = LE::write16(at, 1);
    at = LE::write32(at, kRate);
    at = LE::write32(at, kRate * 2);
    at = LE::write16(at, 2);
    at = LE::write16(at, 16);
    text("data");
    at = LE::write32(at, kSamples * 2);
    for (uint32_t i = 0; i < kSamples; ++i)
        at = LE::write16(at, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(0.01 * i))));
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return out && std::fclose(out) == 0 && written;
}

}  // namespace

int bench_demo_list_cost()
{
    QTemporaryDir home;
    const std::string folder = home.path().toStdString();
    ::setenv("HOME", folder.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    const std::string song = folder + "/song.wav";
    if (!write_song_file(song))  // its bytes are freed again before anything is measured
        return 1;
    for (int slot = 1; slot <= kSongs; ++slot) {
        if (!run_cli({"--demo", "--demo-speed", "instant", "import", std::to_string(slot), song, "--yes"}).ok)
            return 1;
    }
    std::vector<SChildCost> runs;
    for (int run = 0; run < kRuns; ++run) {
        runs.push_back(run_cli({"--demo", "list"}));
        if (!runs.back().ok)
            return 1;
    }
    // The middle run of three, so one run disturbed by the machine does not decide.
    const auto middle = [&](auto figure) {
        std::vector<double> values;
        for (const SChildCost& run : runs)
            values.push_back(figure(run));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("demo list seconds 14 songs: %.3f\n",
                middle([](const SChildCost& run) { return run.seconds; }));
    std::printf("demo list peak MB 14 songs: %.1f\n",
                middle([](const SChildCost& run) { return run.peak_mb; }));
    return 0;
}
