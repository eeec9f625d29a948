#include "pedal_fixture.h"

#include "device/device_detect.h"

#include <QTest>

namespace {

using DetectTest = PedalTest;

TEST_F(DetectTest, FlagIsSetWhenTheOutputPortCountChanges)
{
    std::atomic<bool> changed{false};
    CDebugCapture debug;
    CMidiDeviceDetector detector(&changed);

    CPedalEmulator& pedal = add_pedal();
    QTRY_VERIFY_WITH_TIMEOUT(changed.load(), 5000);
    EXPECT_TRUE(debug.contains("Thread detect MIDI out dev changed ...."));

    changed = false;
    pedal.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(changed.load(), 5000);

    changed = false;
    const auto input_only = m_system.add_source("Keyboard");
    pedal.plug();
    QTRY_VERIFY_WITH_TIMEOUT(changed.load(), 5000);
    m_system.unplug(input_only);
}

TEST_F(DetectTest, ThreadSurvivesAnUnreachableMidiService)
{
    std::atomic<bool> changed{false};
    m_system.set_reachable(false);
    CMidiDeviceDetector detector(&changed);
    add_pedal();
    // Two passes of the thread against the unreachable service: nothing can be counted.
    QTest::qWait(450);
    EXPECT_FALSE(changed.load());
    m_system.set_reachable(true);
    QTRY_VERIFY_WITH_TIMEOUT(changed.load(), 5000);
}

TEST(DetectStop, StopsPromptly)
{
    std::atomic<bool> changed{false};
    CDetectStop stop;
    std::thread thread(MIDI_DEVICE_DETECT_THREAD, &changed, &stop);
    stop.request();
    thread.join();
    EXPECT_TRUE(stop.wait_for(std::chrono::milliseconds(0)));
}

}  // namespace
