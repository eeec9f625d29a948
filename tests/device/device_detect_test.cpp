#include "pedal_fixture.h"

#include "device/device_detect.h"

#include <QTest>

#include <functional>
#include <vector>
#include "test_wait.h"

namespace {

using DetectTest = PedalTest;

TEST_F(DetectTest, FlagIsSetWhenTheOutputPortCountChanges)
{
    std::atomic<bool> changed{false};
    CDebugCapture debug;
    CMidiDeviceDetector detector(&changed);

    CPedalEmulator& pedal = add_pedal();
    wait_or_fail([&] { return changed.load(); }, 5000);
    EXPECT_TRUE(debug.contains("Thread detect MIDI out dev changed ...."));

    changed = false;
    pedal.unplug();
    wait_or_fail([&] { return changed.load(); }, 5000);

    changed = false;
    const auto input_only = m_system.add_source("Keyboard");
    pedal.plug();
    wait_or_fail([&] { return changed.load(); }, 5000);
    m_system.unplug(input_only);
}

TEST_F(DetectTest, ThreadSurvivesAnUnreachableMidiService)
{
    std::atomic<bool> changed{false};
    m_system.set_reachable(false);
    CMidiDeviceDetector detector(&changed, {std::chrono::milliseconds(200), std::chrono::milliseconds(200)});
    add_pedal();
    // Two passes of the thread against the unreachable service: nothing can be counted.
    QTest::qWait(450);
    EXPECT_FALSE(changed.load());
    m_system.set_reachable(true);
    wait_or_fail([&] { return changed.load(); }, 5000);
}

// The detection thread's clock: each wait returns at once after running the script's
// step for it; the wait numbered `stop_at` (1-based) ends the thread.
class CScriptedDetectClock : public CDetectStop {
public:
    CScriptedDetectClock(unsigned int stop_at, std::function<void(unsigned int)> step)
        : m_stop_at(stop_at), m_step(std::move(step))
    {
    }
    bool wait_for(std::chrono::milliseconds period) override
    {
        waits.push_back(period.count());
        m_step(static_cast<unsigned int>(waits.size()));
        return waits.size() >= m_stop_at;
    }
    std::vector<long> waits;

private:
    unsigned int m_stop_at;
    std::function<void(unsigned int)> m_step;
};

struct SServiceCase {
    const char* name;
    unsigned int reachable_from_wait;  // 1-based; 0: never
    std::vector<long> expected_waits;
    unsigned int expected_refused;
    bool expected_changed;
};

class DetectServiceTest : public PedalTest, public ::testing::WithParamInterface<SServiceCase> {};

// Without a MIDI service the thread builds one failing MIDI object per retry period, not
// one per pass, and sees the pedal on the first pass after the service is back.
TEST_P(DetectServiceTest, RetriesTheServiceOnlyAfterTheRetryPeriod)
{
    const SServiceCase& c = GetParam();
    add_pedal();
    m_system.set_reachable(false);
    std::atomic<bool> changed{false};
    bool changed_before_service = false;
    CScriptedDetectClock clock(static_cast<unsigned int>(c.expected_waits.size()), [&](unsigned int wait) {
        if (wait == c.reachable_from_wait) {
            changed_before_service = changed.load();
            m_system.set_reachable(true);
        }
    });
    MIDI_DEVICE_DETECT_THREAD(&changed, &clock,
                              {std::chrono::milliseconds(200), std::chrono::milliseconds(10000)});
    EXPECT_EQ(clock.waits, c.expected_waits);
    EXPECT_EQ(m_system.refused_client_count(), c.expected_refused);
    EXPECT_EQ(changed.load(), c.expected_changed);
    EXPECT_FALSE(changed_before_service);
    m_system.set_reachable(true);
}

INSTANTIATE_TEST_SUITE_P(
    Service, DetectServiceTest,
    ::testing::Values(SServiceCase{"NeverThere", 0, {200, 10000, 10000, 10000}, 3, false},
                      SServiceCase{"BackAfterTwoFailures", 3, {200, 10000, 10000, 200, 200}, 2, true},
                      SServiceCase{"ThereFromTheStart", 1, {200, 200, 200}, 0, true}),
    [](const ::testing::TestParamInfo<SServiceCase>& info) { return std::string(info.param.name); });

struct SPortChangeCase {
    const char* name;
    // Between the first and the second pass: unplugs the first pedal, plugs what it names.
    std::function<void(CPedalEmulator&, CVirtualMidiSystem&)> change;
    bool expected_changed;
    std::vector<std::string> expected_names;
};

class DetectPortChangeTest : public PedalTest, public ::testing::WithParamInterface<SPortChangeCase> {};

// The second pass sees the change and reports the whole list, whatever happened to the
// count; a list that came back as it was is no change.
TEST_P(DetectPortChangeTest, SecondPassReportsAChangedListOfNames)
{
    const SPortChangeCase& c = GetParam();
    CPedalEmulator& pedal = add_pedal();
    std::atomic<bool> changed{false};
    std::vector<std::vector<std::string>> reported;
    CScriptedDetectClock clock(3, [&](unsigned int wait) {
        if (wait == 2) {
            changed = false;
            reported.clear();
            c.change(pedal, m_system);
        }
    });
    MIDI_DEVICE_DETECT_THREAD(&changed, &clock, SDetectTiming{},
                              [&](const std::vector<std::string>& names) { reported.push_back(names); });
    EXPECT_EQ(changed.load(), c.expected_changed);
    EXPECT_EQ(reported, c.expected_changed ? std::vector<std::vector<std::string>>{c.expected_names}
                                           : std::vector<std::vector<std::string>>{});
}

INSTANTIATE_TEST_SUITE_P(
    Ports, DetectPortChangeTest,
    ::testing::Values(
        SPortChangeCase{"SwappedForAnotherDeviceSameCount",
                        [](CPedalEmulator& pedal, CVirtualMidiSystem& system) {
                            pedal.unplug();
                            system.add_destination("Synth", [](const std::vector<unsigned char>&) {});
                        },
                        true,
                        {"Synth"}},
        SPortChangeCase{
            "Unplugged", [](CPedalEmulator& pedal, CVirtualMidiSystem&) { pedal.unplug(); }, true, {}},
        SPortChangeCase{"ReplugsWithinOnePeriod",
                        [](CPedalEmulator& pedal, CVirtualMidiSystem&) {
                            pedal.unplug();
                            pedal.plug();
                        },
                        false,
                        {}}),
    [](const ::testing::TestParamInfo<SPortChangeCase>& info) { return std::string(info.param.name); });

TEST(DetectStop, StopsPromptly)
{
    std::atomic<bool> changed{false};
    CDetectStop stop;
    std::thread thread(MIDI_DEVICE_DETECT_THREAD, &changed, &stop, SDetectTiming{}, nullptr);
    stop.request();
    thread.join();
    EXPECT_TRUE(stop.wait_for(std::chrono::milliseconds(0)));
}

}  // namespace
