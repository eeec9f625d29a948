#include "device/wait_clock.h"

namespace {

class CSteadyWaitClock final : public CWaitClock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void wait_until(std::condition_variable& arrival, std::unique_lock<std::mutex>& lock, time_point deadline,
                    const std::function<bool()>& ready) override
    {
        arrival.wait_until(lock, deadline, ready);
    }
};

}  // namespace

CWaitClock& steady_wait_clock()
{
    static CSteadyWaitClock clock;
    return clock;
}
