#include "firmware_update_fixture.h"

#include <QStringList>

namespace {

constexpr uint32_t kNewVersion = 0x020000;

bool shows_no_device(const QString& title)
{
    return title.endsWith(" - (No device connected !)");
}

}  // namespace

// The pedal takes the first write and vanishes without a reply. The detection thread ends
// the link's wait (the read ends as a lost link, not a time-out); the pedal comes back
// while the failure is still shown, and the ticks after the update find it again even
// when the detection thread reports nothing new. The update then runs again, and the title
// shows the version of the record the package wrote.
TEST_F(FirmwareUpdate, UnplugDuringTheReplyWaitFailsAtOnceAndTheReplugIsSeen)
{
    CPedalEmulator& pedal = start();
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::UNPLUG_AFTER, kWrite, 1));
    CTickingPrompt user([&pedal] { pedal.plug(); }, true, true);
    update_local(package({kGood}));
    EXPECT_EQ(driver().link().port().transfer().last_read_end(), EReadEnd::LINK_LOST);
    ASSERT_EQ(user.messages.size(), 2);
    EXPECT_EQ(user.messages.back(),
              "Failed!\nThe pedal was disconnected. Plug it in again and run the update again.");
    expect_ended();

    driver().tick();
    EXPECT_PRED1(shows_no_device, title());
    driver().set_device_changed(false);
    driver().tick();
    ASSERT_FALSE(shows_no_device(title()));

    update_local(package({kGood,
                          {layout(kSystem, INFO_SECTOR_ADDRESS, INFO_SECTOR_ADDRESS + 0x800, 0x800),
                           info_record_sector(kNewVersion, kPulseRing)}}));
    EXPECT_EQ(user.messages.mid(2), QStringList({"Successful!"}));
    EXPECT_TRUE(title().endsWith("(Connected - PULSE RING, Ver=V2.0.0)")) << title().toStdString();
    expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);
}

// Once a lost link is closed, the ticks search for its pedal with no port change reported,
// for ten ticks; after that only a port change starts a search again.
TEST_F(FirmwareUpdate, LostLinkIsSearchedForOnTheNextTicksOnly)
{
    CPedalEmulator& pedal = start();
    driver().stop_detection();
    for (int ticks_away : {1, 10, 11}) {
        SCOPED_TRACE(ticks_away);
        pedal.unplug();
        driver().set_device_changed(true);
        driver().tick();
        ASSERT_PRED1(shows_no_device, title());
        for (int tick = 1; tick < ticks_away; ++tick)
            driver().tick();
        pedal.plug();
        driver().tick();
        EXPECT_EQ(shows_no_device(title()), ticks_away > 10);
        driver().set_device_changed(true);
        driver().tick();
        EXPECT_FALSE(shows_no_device(title()));
    }
}

// Another device coming or going while the pedal stays does not end the pedal's waits.
TEST_F(FirmwareUpdate, OtherPortsChangingLeaveTheLinkWorking)
{
    CPedalEmulator& pedal = start();
    driver().set_device_changed(false);
    const auto synth = m_midi.system.add_destination("Synth", [](const std::vector<unsigned char>&) {});
    wait_for_port_change();
    update_local(package({kGood}));
    EXPECT_EQ(m_prompt.messages(), QStringList({kSuccessfulSameVersion}));
    EXPECT_FALSE(driver().link().port().transfer().waits_aborted());
    expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);
    m_midi.system.unplug(synth);
}

// A pedal in application mode is told once; later searches let it go silently until it
// has been unplugged.
TEST_F(FirmwareUpdate, ApplicationModePedalIsToldOnceUntilUnplugged)
{
    SPedalConfig config = pulse_ring();
    config.boot_mode = EPedalMode::APP;
    CPedalEmulator& pedal = add_pedal(config);
    make_window();
    const QStringList told{
        "You should enter update mode first! For how to enter update mode, please refer to the "
        "manual"};
    EXPECT_EQ(m_prompt.messages(), told);

    m_prompt.clear();
    const auto synth = m_midi.system.add_destination("Synth", [](const std::vector<unsigned char>&) {});
    driver().set_device_changed(true);
    driver().tick();
    EXPECT_EQ(m_prompt.messages(), QStringList());

    pedal.unplug();
    driver().set_device_changed(true);
    driver().tick();
    pedal.plug();
    driver().set_device_changed(true);
    driver().tick();
    EXPECT_EQ(m_prompt.messages(), told);
    m_midi.system.unplug(synth);
}
