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

    // Hands the thread `count` samples taken `stride` apart from `samples`, once fewer than
    // a few blocks are waiting.
    void push(const double* samples, size_t count, size_t stride)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return waiting.size() < kWaitingBlocks; });
        std::vector<double> block;
        if (!spare.empty()) {
            block = std::move(spare.back());
            spare.pop_back();
        }
        block.resize(count);
        for (size_t i = 0; i < count; ++i)
            block[i] = samples[i * stride];
        waiting.push_back(std::move(block));
        changed.notify_all();
    }

    // Waits until every block handed over is measured.
    void wait_measured()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return waiting.empty() && !measuring; });
    }

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

namespace {

// A measuring state with its thread, or nothing.
std::unique_ptr<CLoudnessMeter::SState> started_state(unsigned int channels, unsigned int sample_rate,
                                                      int mode)
{
    ebur128_state* meter = ebur128_init(channels, sample_rate, mode);
    if (!meter)
        return nullptr;
    auto state = std::make_unique<CLoudnessMeter::SState>(meter);
    try {
        state->worker = std::thread(&CLoudnessMeter::SState::measure_blocks, state.get());
    } catch (const std::system_error&) {
        return nullptr;
    }
    return state;
}

}  // namespace

std::unique_ptr<CLoudnessMeter> CLoudnessMeter::create(unsigned int channels, unsigned int sample_rate,
                                                       bool true_peak)
{
    // The histogram keeps the gated blocks in a fixed table of 0.1 LU steps, so a figure
    // may lie 0.05 LU from the exact one; the plain mode keeps a list that grows with the
    // song. ffmpeg's meter makes the same choice.
    std::vector<std::unique_ptr<SState>> states;
    states.push_back(
        started_state(channels, sample_rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM));
    // The true peak, four times oversampled, costs several times the loudness: each
    // channel's is found by a state and a thread of its own, so it takes no longer than
    // the loudness on a computer of a few cores. A channel's peak does not depend on the
    // others.
    for (unsigned int c = 0; true_peak && c < channels; ++c)
        states.push_back(started_state(1, sample_rate, EBUR128_MODE_TRUE_PEAK));
    if (std::any_of(states.begin(), states.end(), [](const auto& state) { return !state; }))
        return nullptr;
    return std::unique_ptr<CLoudnessMeter>(new CLoudnessMeter(std::move(states), channels, true_peak));
}

CLoudnessMeter::CLoudnessMeter(std::vector<std::unique_ptr<SState>> states, unsigned int channels,
                               bool true_peak)
    : m_states(std::move(states)), m_channels(channels), m_true_peak(true_peak)
{
}

CLoudnessMeter::~CLoudnessMeter() = default;

void CLoudnessMeter::add(const double* samples, size_t frames)
{
    m_states.front()->push(samples, frames * m_channels, 1);
    for (size_t c = 1; c < m_states.size(); ++c)
        m_states[c]->push(samples + (c - 1), frames, m_channels);
}

SLoudness CLoudnessMeter::result() const
{
    for (const std::unique_ptr<SState>& part : m_states)
        part->wait_measured();
    const SState& state = *m_states.front();
    SLoudness loudness;
    // libebur128 gives minus infinity for a song below the absolute gate.
    if (ebur128_loudness_global(state.meter, &loudness.integrated_lufs) != EBUR128_SUCCESS)
        loudness.integrated_lufs = -HUGE_VAL;
    if (ebur128_loudness_range(state.meter, &loudness.range_lu) != EBUR128_SUCCESS)
        loudness.range_lu = 0;
    if (m_true_peak) {
        double highest = 0;
        for (size_t c = 1; c < m_states.size(); ++c) {
            double peak = 0;
            if (ebur128_true_peak(m_states[c]->meter, 0, &peak) == EBUR128_SUCCESS)
                highest = std::max(highest, peak);
        }
        loudness.true_peak_dbtp = 20 * std::log10(highest);
    }
    return loudness;
}
