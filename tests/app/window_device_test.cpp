#include "window_fixture.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include "test_wait.h"

namespace {

SPedalConfig pedal(uint32_t product_id, EPedalMode mode = EPedalMode::UPDATE, uint32_t version = 0x010203)
{
    SPedalConfig config;
    config.product_id = product_id;
    config.firmware_version = version;
    config.boot_mode = mode;
    return config;
}

const char kNoDeviceTitle[] = "Tandora V1.7 - (No device connected !)";
const char kPulseRingTitle[] = "Tandora V1.7 - (Connected - PULSE RING, Ver=V1.2.3)";

struct SButtonsEnabled {
    bool song_commands;
    bool firmware_commands;
};

class WindowDevice : public WindowWithPedals {
protected:
    // Export and Delete also depend on the selected slot (the song page's tests), Import
    // only on the pedal.
    SButtonsEnabled buttons() const
    {
        const bool songs = widget<QPushButton>("m_btnDownload")->isEnabled();
        const bool firmware = widget<QPushButton>("m_btnOpen")->isEnabled();
        EXPECT_EQ(widget<QCheckBox>("m_btnSelLocal")->isEnabled(), firmware);
        return {songs, firmware};
    }
    // The song list is the pedal's own; this stands in for the online firmware list.
    void fill_lists()
    {
        ASSERT_EQ(widget<QListWidget>("m_lstSong")->count(), 30);
        widget<QComboBox>("m_comNewSoftware")->addItem("PULSE_RING_V1.2.4.dat");
    }
    bool lists_empty() const
    {
        return widget<QListWidget>("m_lstSong")->count() == 0 &&
               widget<QComboBox>("m_comNewSoftware")->count() == 0;
    }
};

}  // namespace

TEST_F(WindowDevice, NoPedalAtStartShowsNoDeviceAndNoBox)
{
    make_window();
    EXPECT_EQ(title(), kNoDeviceTitle);
    EXPECT_TRUE(m_prompt.shown().empty());
    EXPECT_FALSE(buttons().song_commands);
    EXPECT_FALSE(buttons().firmware_commands);
}

struct SStartCase {
    uint32_t product_id;
    const char* title;
    bool song_commands;
};

class WindowStartsWith : public WindowDevice, public ::testing::WithParamInterface<SStartCase> {};

TEST_P(WindowStartsWith, PedalInUpdateMode)
{
    add_pedal(pedal(GetParam().product_id));
    make_window();
    EXPECT_EQ(title(), GetParam().title);
    EXPECT_TRUE(m_prompt.shown().empty());
    EXPECT_EQ(buttons().song_commands, GetParam().song_commands);
    EXPECT_TRUE(buttons().firmware_commands);
}

INSTANTIATE_TEST_SUITE_P(
    Models, WindowStartsWith,
    ::testing::Values(SStartCase{0x2712, kPulseRingTitle, true},
                      SStartCase{0x2716, "Tandora V1.7 - (Connected - DUAL WHEEL, Ver=V1.2.3)", true},
                      SStartCase{0x2711, "Tandora V1.7 - (Connected - VX-20, Ver=V1.2.3)", false},
                      SStartCase{0x2719, "Tandora V1.7 - (Unknown device connected !)", false}));

TEST_F(WindowDevice, PedalInApplicationModeIsTurnedAwayDuringConstruction)
{
    CPedalEmulator& replug = add_pedal(pedal(0x2711, EPedalMode::APP));
    make_window();
    EXPECT_EQ(title(), kNoDeviceTitle);
    // The pedal takes its commands on a thread of its own.
    wait_or_fail([&] { return replug.replug_requested(); }, 2000);
    EXPECT_EQ(m_prompt.messages(), QStringList({"Please replug the USB cable to enter update mode!"}));
    EXPECT_FALSE(buttons().firmware_commands);
}

TEST_F(WindowDevice, TitleAsksForUpdateModeWhileTheLinkIsInApplicationMode)
{
    add_pedal(pedal(0x2712, EPedalMode::APP));
    make_window();
    ASSERT_EQ(m_prompt.messages().size(), 1);
    EXPECT_TRUE(m_prompt.messages()[0].startsWith("You should enter update mode first!"));
    ASSERT_TRUE(driver().link().open(0, true));
    ASSERT_TRUE(driver().link().is_in_app_mode());
    m_window->update_window_title();
    EXPECT_EQ(title(), "Tandora V1.7 - (Please enter update mode !)");
}

TEST_F(WindowDevice, UnplugWhileIdleDropsTheLinkAtTheNextTick)
{
    CPedalEmulator& ring = add_pedal(pedal(0x2712));
    make_window();
    ASSERT_EQ(title(), kPulseRingTitle);
    // The thread's first pass counts the pedal's port; the link still answers.
    wait_for_port_change();
    driver().tick();
    EXPECT_EQ(title(), kPulseRingTitle);
    EXPECT_TRUE(driver().link().is_in_update_mode());

    fill_lists();
    ring.unplug();
    wait_for_port_change();
    CDebugCapture debug;
    driver().tick();
    EXPECT_FALSE(driver().device_changed());
    EXPECT_EQ(title(), kNoDeviceTitle);
    EXPECT_EQ(driver().link().port().transfer_mode(), TRANSFER_MODE_CLOSED);
    EXPECT_TRUE(lists_empty());
    EXPECT_FALSE(buttons().song_commands);
    EXPECT_FALSE(buttons().firmware_commands);
    EXPECT_TRUE(debug.contains("CDevBaseDlg::connected=FALSE\n"));
}

TEST_F(WindowDevice, UnplugDuringWorkWaitsUntilIdle)
{
    CPedalEmulator& ring = add_pedal(pedal(0x2712));
    make_window();
    wait_for_port_change();
    driver().tick();
    fill_lists();

    driver().hold_work(WORK_DOWNLOAD_SONG);
    ring.unplug();
    wait_for_port_change();
    driver().tick();
    driver().tick();
    EXPECT_TRUE(driver().device_changed());
    EXPECT_EQ(title(), kPulseRingTitle);
    EXPECT_FALSE(lists_empty());

    driver().release_work();
    driver().tick();
    EXPECT_EQ(title(), kNoDeviceTitle);
    EXPECT_TRUE(lists_empty());
}

TEST_F(WindowDevice, PedalPluggedLaterConnectsAtTheNextTick)
{
    make_window();
    CDebugCapture debug;
    add_pedal(pedal(0x2713, EPedalMode::UPDATE, 0x020001));
    wait_for_port_change();
    driver().tick();
    EXPECT_EQ(title(), "Tandora V1.7 - (Connected - SMALL WHEEL, Ver=V2.0.1)");
    EXPECT_TRUE(buttons().song_commands);
    EXPECT_TRUE(debug.contains("CDevBaseDlg::connected=TRUE 10003\n"));
}

TEST_F(WindowDevice, PedalInApplicationModePluggedLaterStaysDisconnected)
{
    make_window();
    add_pedal(pedal(0x2712, EPedalMode::APP));
    wait_for_port_change();
    driver().tick();
    EXPECT_EQ(title(), kNoDeviceTitle);
    ASSERT_EQ(m_prompt.messages().size(), 1);
    EXPECT_TRUE(m_prompt.messages()[0].startsWith("You should enter update mode first!"));
}

// The one test that lets the window's own one-second timer act.
TEST(WindowTimer, ConnectsAPedalPluggedAfterStart)
{
    CInstalledMidiSystem midi;
    CScriptedPrompt prompt;
    CPedalSession session;
    TandoraQT window(session);
    CWindowDriver(window, session).wait_until_idle();
    ASSERT_EQ(window.windowTitle(), kNoDeviceTitle);
    CPedalEmulator ring(midi.system, pedal(0x2712));
    wait_or_fail([&] { return window.windowTitle() == QString(kPulseRingTitle); }, 5000);
}

TEST(WindowTimer, WindowComesUpWhenTheMidiServiceIsUnreachable)
{
    CInstalledMidiSystem midi;
    midi.system.set_reachable(false);
    CScriptedPrompt prompt;
    CPedalSession session;
    TandoraQT window(session);
    CWindowDriver(window, session).wait_until_idle();
    EXPECT_EQ(window.windowTitle(), kNoDeviceTitle);
    ASSERT_EQ(prompt.messages().size(), 1);
    EXPECT_EQ(prompt.messages()[0].toStdString(),
              "This computer's MIDI service cannot be reached, so Tandora cannot look for the pedal. Start "
              "Tandora with --demo to try it without a pedal.");
}

TEST_F(WindowDevice, TickDuringTheSearchsBoxWaitsForTheSearchToEnd)
{
    make_window();
    add_pedal(pedal(0x2712, EPedalMode::APP));
    wait_for_port_change();
    CTickingPrompt user(
        [this] {
            driver().set_device_changed(true);
            driver().tick();
        },
        false);
    driver().tick();
    EXPECT_EQ(user.messages.size(), 1);
    EXPECT_TRUE(driver().device_changed());
    EXPECT_EQ(title(), kNoDeviceTitle);
}
