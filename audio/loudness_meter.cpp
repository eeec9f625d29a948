#include "audio/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Blocks waiting for the measuring thread before add() waits: a conversion's block is a
// few hundred kilobytes of samples.
constexpr size_t kWaitingBlocks = 4;

}  // namespace

// The thread takes the blocks in order; libebur128's state is touched by it alone while a
// block is measured, and by result() only once no block is waiting or being measured.
struct CLoudnessMeter::SState {
    explicit SState(ebur128_state* state) : meter(state) {}
    ~SState()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        changed.notify_all();
        if (worker.joinable())
            worker.join();
        ebur128_destroy(&meter);
    }
    SState(const SState&) = delete;
    SState& operator=(const SState&) = delete;

    void measure_blocks()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return closing || !waiting.empty(); });
            if (closing)
                return;
            std::vector<double> block = std::move(waiting.front());
            waiting.pop_front();
            measuring = true;
            lock.unlock();
            // The only failure is running out of memory for the blocks' history, which the
            // histogram mode keeps in a fixed table.
            static_cast<void>(ebur128_add_frames_double(meter, block.data(), block.size() / meter->channels));
            lock.lock();
            measuring = false;
            spare.push_back(std::move(block));
            changed.notify_all();
        }
    }

    ebur128_state* meter;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<double>> waiting;
    std::vector<std::vector<double>> spare;  // measured blocks, kept for their memory
    bool measuring = false;
    bool closing = false;
    std::thread worker;
};

std::unique_ptr<CLoudnessMeter> CLoudnessMeter::create(unsigned int channels, unsigned int sample_rate,
                                                       bool true_peak)
{
    // The histogram keeps the gated blocks in a fixed table of 0.1 LU steps, so a figure
    // may lie 0.05 LU from the exact one; the plain mode keeps a list that grows with the
    // song. ffmpeg's meter makes the same choice.
    const int mode =
        EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM | (true_peak ? EBUR128_MODE_TRUE_PEAK : 0);
    ebur128_state* meter = ebur128_init(channels, sample_rate, mode);
    if (!meter)
        return nullptr;
    auto state = std::make_unique<SState>(meter);
    try {
        state->worker = std::thread(&SState::measure_blocks, state.get());
    } catch (const std::system_error&) {
        return nullptr;
    }
    return std::unique_ptr<CLoudnessMeter>(new CLoudnessMeter(std::move(state), channels, true_peak));
}

CLoudnessMeter::CLoudnessMeter(std::unique_ptr<SState> state, unsigned int channels, bool true_peak)
    : m_state(std::move(state)), m_channels(channels), m_true_peak(true_peak)
{
}

CLoudnessMeter::~CLoudnessMeter() = default;

void CLoudnessMeter::add(const double* samples, size_t frames)
{
    SState& state = *m_state;
    std::unique_lock<std::mutex> lock(state.mutex);
    state.changed.wait(lock, [&state] { return state.waiting.size() < kWaitingBlocks; });
    std::vector<double> block;
    if (!state.spare.empty()) {
        block = std::move(state.spare.back());
        state.spare.pop_back();
    }
    block.assign(samples, samples + frames * m_channels);
    state.waiting.push_back(std::move(block));
    state.changed.notify_all();
}

SLoudness CLoudnessMeter::result() const
{
    SState& state = *m_state;
    std::unique_lock<std::mutex> lock(state.mutex);
    state.changed.wait(lock, [&state] { return state.waiting.empty() && !state.measuring; });
    SLoudness loudness;
    // libebur128 gives minus infinity for a song below the absolute gate.
    if (ebur128_loudness_global(state.meter, &loudness.integrated_lufs) != EBUR128_SUCCESS)
        loudness.integrated_lufs = -HUGE_VAL;
    if (ebur128_loudness_range(state.meter, &loudness.range_lu) != EBUR128_SUCCESS)
        loudness.range_lu = 0;
    if (m_true_peak) {
        double highest = 0;
        for (unsigned int c = 0; c < m_channels; ++c) {
            double peak = 0;
            if (ebur128_true_peak(state.meter, c, &peak) == EBUR128_SUCCESS)
                highest = std::max(highest, peak);
        }
        loudness.true_peak_dbtp = 20 * std::log10(highest);
    }
    return loudness;
}
