#include "app/tandora_qt.h"
#include "app/window_title.h"
#include "device/model_info.h"
#include "support/progress_event.h"
#include "support/task.h"
#include "window_fixture.h"

#include <gtest/gtest.h>
#include <QAbstractEventDispatcher>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>

namespace {

class Window : public ::testing::Test {
protected:
    Window() { probe.wait_until_idle(); }
    QProgressBar& bar() { return *window.findChild<QProgressBar*>("progressBar"); }

    CInstalledMidiSystem midi;
    CScriptedPrompt prompt;
    CPedalSession session;
    TandoraQT window{session};
    CWindowDriver probe{window, session};
};

struct SProgressCase {
    int from;  // the percent range the work maps its steps onto
    int to;
    uint64_t done;
    uint64_t total;
    int percent;  // -1: the step leaves the percent as it was
};

class ProgressMapping : public ::testing::TestWithParam<SProgressCase> {};

}  // namespace

// Songs map their steps onto 0..100, a firmware update's write pass onto 80..100.
TEST_P(ProgressMapping, MapsStepsOntoTheWorksRange)
{
    const SProgressCase& sample = GetParam();
    CTask task;
    task.set_percent_range(sample.from, sample.to);
    task.set_step(7, 100);
    const int before = task.progress().percent;
    task.set_step(sample.done, sample.total);
    EXPECT_EQ(task.progress().percent, sample.percent < 0 ? before : sample.percent);
}

INSTANTIATE_TEST_SUITE_P(
    Works, ProgressMapping,
    ::testing::Values(SProgressCase{0, 100, 3, 10, 30}, SProgressCase{80, 100, 3, 10, 86},
                      SProgressCase{80, 100, 10, 10, 100}, SProgressCase{0, 100, 2, 3, 66},
                      // Byte counts of a whole song: the product needs more than 32 bits.
                      SProgressCase{0, 100, 4000000000u, 4294967295u, 93}, SProgressCase{0, 100, 0, 0, -1}));

TEST_F(Window, OtherEventTypesLeaveTheBarAlone)
{
    probe.hold_work(WORK_UPLOAD_SONG);
    bar().setValue(7);
    QCoreApplication::postEvent(&window.work_runner(), new CEventBase(PROGRESS_EVENT_TYPE + 1, 5, 10));
    QCoreApplication::sendPostedEvents(&window.work_runner(), 0);
    EXPECT_EQ(bar().value(), 7);
}

TEST_F(Window, RefusesToCloseWhileWorking)
{
    window.show();
    for (auto state : {WORK_UPLOAD_SONG, WORK_DOWNLOAD_SONG, WORK_UPDATE_FIRMWARE}) {
        probe.hold_work(state);
        EXPECT_FALSE(window.close()) << state;
        EXPECT_TRUE(window.isVisible()) << state;
        probe.release_work();
    }
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(Window, StartsIdleWithNoSongSelectedAndTheTimerRunning)
{
    EXPECT_EQ(probe.work_state(), WORK_IDLE);
    EXPECT_EQ(probe.current_song(), -1);
    const QList<QAbstractEventDispatcher::TimerInfo> timers =
        QAbstractEventDispatcher::instance()->registeredTimers(&window);
    const auto connection_timer = std::find_if(
        timers.begin(), timers.end(), [&](const auto& timer) { return timer.timerId == window.timer_id(); });
    ASSERT_NE(connection_timer, timers.end());
    EXPECT_EQ(connection_timer->interval, 1000);
    EXPECT_EQ(connection_timer->timerType, Qt::CoarseTimer);
}

TEST_F(Window, TimerActsOnlyWhenIdleAndThePortsChanged)
{
    CDebugCapture debug;
    probe.set_device_changed(true);
    probe.tick_with_id(window.timer_id() + 1000);
    probe.hold_work(WORK_UPDATE_FIRMWARE);
    probe.tick();
    EXPECT_TRUE(probe.device_changed());
    EXPECT_FALSE(debug.contains("timerEvent"));

    probe.release_work();
    probe.tick();
    EXPECT_FALSE(probe.device_changed());
    EXPECT_EQ(debug.lines().count("timerEvent"), 1);
    probe.tick();
    EXPECT_EQ(debug.lines().count("timerEvent"), 1);
}

struct STitleCase {
    bool open;
    bool update_mode;
    unsigned int product_id;
    unsigned int version;
    const char* title;
};

class WindowTitle : public ::testing::TestWithParam<STitleCase> {};

TEST_P(WindowTitle, NamesTheLinkState)
{
    const STitleCase& sample = GetParam();
    SPedalIdentity pedal;
    pedal.open = sample.open;
    pedal.update_mode = sample.update_mode;
    pedal.product_id = sample.product_id;
    pedal.firmware_version = sample.version;
    const SModelInfo* model = get_model_info(sample.product_id);
    pedal.known_model = model != nullptr;
    pedal.model = model ? QString::fromLatin1(model->model_name) : QString();
    EXPECT_EQ(window_title(pedal), sample.title);
}

INSTANTIATE_TEST_SUITE_P(
    LinkStates, WindowTitle,
    ::testing::Values(
        STitleCase{false, false, 0x2712, 0x010203, "Tandora V1.7 - (No device connected !)"},
        STitleCase{true, false, 0x2712, 0x010203, "Tandora V1.7 - (Please enter update mode !)"},
        STitleCase{true, true, 0x2712, 0x010203, "Tandora V1.7 - (Connected - PULSE RING, Ver=V1.2.3)"},
        STitleCase{true, true, 0x2716, 0x0A0B0C, "Tandora V1.7 - (Connected - DUAL WHEEL, Ver=V10.11.12)"},
        STitleCase{true, true, 0xFFFFFFFF, 0xFFFFFFFF,
                   "Tandora V1.7 - (Connected - Unknown Device, Ver=V255.255.255)"},
        STitleCase{true, true, 0x2719, 0x010203, "Tandora V1.7 - (Unknown device connected !)"}));
