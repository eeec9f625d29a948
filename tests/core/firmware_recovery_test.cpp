#include "core/firmware_update/firmware_update.h"
#include "core_pedal.h"
#include "emulator/pedal_models.h"
#include "fake_wait_clock.h"
#include "firmware/pack_builder.h"
#include "hex_diff.h"

namespace {

constexpr uint32_t kNewVersion = 0x020000;
constexpr uint32_t kInfoSector = INFO_SECTOR_ADDRESS;
// The update's flash operations, in the order the pedal carries them out: erases
// ascending (info sector, application start, application rest), writes descending
// (application rest, application start, info sector).
constexpr unsigned kErases = 3;
constexpr unsigned kOperations = 6;

QByteArray layout(uint32_t start, uint32_t end)
{
    return QString::asprintf("[FLASH 1]\nTYPE=0\nStart Address=0x%X\nEnd Address=0x%X\nSector Size=0x800\n",
                             start, end)
        .toLatin1();
}

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 13 + seed);
    return bytes;
}

const QByteArray kApplication = pattern(0x900, 3);
const QByteArray kInfo = info_record_sector(kNewVersion, kPulseRing);

enum class EInterruption { POWER_CUT, TORN_POWER_CUT, UNPLUG_BEFORE, UNPLUG_AFTER, SILENCE };

struct SRecoveryCase {
    EInterruption kind;
    unsigned operation;  // 1-based, in the order above
};

std::string recovery_case_name(const ::testing::TestParamInfo<SRecoveryCase>& info)
{
    static const char* const kNames[] = {"PowerCut", "TornPowerCut", "UnplugBefore", "UnplugAfter",
                                         "Silence"};
    const unsigned op = info.param.operation;
    return std::string(kNames[static_cast<int>(info.param.kind)]) + (op <= kErases ? "AtErase" : "AtWrite") +
           std::to_string(op <= kErases ? op : op - kErases);
}

std::vector<SRecoveryCase> every_interruption()
{
    std::vector<SRecoveryCase> cases;
    for (EInterruption kind :
         {EInterruption::POWER_CUT, EInterruption::TORN_POWER_CUT, EInterruption::UNPLUG_BEFORE,
          EInterruption::UNPLUG_AFTER, EInterruption::SILENCE})
        for (unsigned op = 1; op <= kOperations; ++op)
            cases.push_back({kind, op});
    return cases;
}

// An update of two sections interrupted once, then the pedal brought back and updated
// again. Silence passes on the link's test clock, not in real time.
class FirmwareRecovery : public CorePedal, public ::testing::WithParamInterface<SRecoveryCase> {
protected:
    void SetUp() override
    {
        connect(kPulseRing);
        // From the next power-up on the pedal runs its application when it has one.
        m_pedal->set_boot_mode(EPedalMode::APP);
        m_clock.set_settle([this] { m_pedal->wait_until_idle(); });
        m_session.link().port().transfer().set_clock(&m_clock);
        QString error;
        m_package = file("update.dat");
        ASSERT_TRUE(write_pack_file(
            m_package, "10002",
            {{layout(PEDAL_APPLICATION_START, PEDAL_APPLICATION_START + 0x1000), kApplication},
             {layout(kInfoSector, kInfoSector + 0x800), kInfo}},
            error))
            << error.toStdString();
    }
    void TearDown() override
    {
        m_session.close();
        m_session.link().port().transfer().set_clock(nullptr);
    }

    void interrupt(const SRecoveryCase& c)
    {
        const uint8_t command = c.operation <= kErases ? kErase : kWrite;
        const unsigned occurrence = c.operation <= kErases ? c.operation : c.operation - kErases;
        switch (c.kind) {
            case EInterruption::POWER_CUT:
                m_pedal->cut_power_at_flash_operation(c.operation, EPowerCutEffect::NOT_DONE);
                break;
            case EInterruption::TORN_POWER_CUT:
                m_pedal->cut_power_at_flash_operation(c.operation, EPowerCutEffect::PARTLY_DONE);
                break;
            case EInterruption::UNPLUG_BEFORE:
                m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::UNPLUG_BEFORE, command, occurrence));
                break;
            case EInterruption::UNPLUG_AFTER:
                m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::UNPLUG_AFTER, command, occurrence));
                break;
            case EInterruption::SILENCE:
                m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, command, occurrence));
                break;
        }
    }

    // What the user does: a pedal without power is switched on again, any other one is
    // re-plugged; both power it up by its boot rule.
    void bring_back(EInterruption kind)
    {
        m_pedal->clear_faults();
        if (kind == EInterruption::POWER_CUT || kind == EInterruption::TORN_POWER_CUT) {
            m_pedal->power_cycle();
            return;
        }
        m_pedal->unplug();
        m_pedal->plug();
    }

    CFakeWaitClock m_clock;
    QString m_package;
};

}  // namespace

TEST_P(FirmwareRecovery, InterruptedUpdateCompletesWhenRunAgain)
{
    const SRecoveryCase& c = GetParam();
    interrupt(c);
    const COperationResult interrupted =
        m_session.with_notes(update_firmware(m_session, m_package, false, m_yes, nullptr));
    EXPECT_EQ(interrupted.text(), "Failed!");
    EXPECT_FALSE(interrupted.notes().isEmpty());
    m_session.close();

    bring_back(c.kind);
    // Between the erase of the application's start and its write the pedal has no program
    // to run and must come up in update mode.
    if (c.operation == 3 || c.operation == 4) {
        EXPECT_EQ(m_pedal->mode(), EPedalMode::UPDATE);
    }
    // Otherwise a pedal that still runs its old program is put into update mode by hand.
    if (m_pedal->mode() == EPedalMode::APP)
        m_pedal->set_mode(EPedalMode::UPDATE);
    ASSERT_TRUE(m_session.search_and_open());

    // A half-erased information record names no product the package is for; the user
    // installs it all the same (Shift held).
    const bool shift_held = m_session.link().product_id() != kPulseRing;
    // A record written before the interruption already names the new version.
    const bool version_was_new = m_session.link().firmware_version() == kNewVersion;
    static_cast<void>(m_session.take_notes());
    const COperationResult again =
        m_session.with_notes(update_firmware(m_session, m_package, shift_held, m_yes, nullptr));
    EXPECT_EQ(again.text().toStdString(), "Successful!");
    EXPECT_EQ(again.detail().isEmpty(), !version_was_new) << again.detail().toStdString();
    EXPECT_EQ(again.notes(), QStringList());
    EXPECT_EQ(m_session.link().firmware_version(), kNewVersion);
    const Bytes application = m_pedal->program_flash().read(PEDAL_APPLICATION_START, kApplication.size());
    const Bytes info = m_pedal->program_flash().read(kInfoSector, kInfo.size());
    EXPECT_EQ(application, Bytes(kApplication.begin(), kApplication.end()))
        << hex_diff(application, Bytes(kApplication.begin(), kApplication.end()));
    EXPECT_EQ(info, Bytes(kInfo.begin(), kInfo.end()));

    m_session.close();
    m_pedal->power_cycle();
    EXPECT_EQ(m_pedal->mode(), EPedalMode::APP);
}

INSTANTIATE_TEST_SUITE_P(EveryFlashOperation, FirmwareRecovery, ::testing::ValuesIn(every_interruption()),
                         recovery_case_name);

// With the record unchanged by the package, the version cannot have changed until the
// pedal runs the new program.
TEST_F(CorePedal, UpdateLeavingTheVersionAsksForARestart)
{
    connect(kPulseRing);
    const QString path = file("same.dat");
    QString error;
    ASSERT_TRUE(write_pack_file(path, "10002", {{layout(0x10000, 0x10800), pattern(0x200, 1)}}, error));
    const COperationResult result = update_firmware(m_session, path, false, m_yes, nullptr);
    EXPECT_EQ(result.text(), "Successful!");
    EXPECT_EQ(result.detail(), "Restart the pedal to run the new firmware.");
}

// The detection thread's report of the ports: the session's link gives up its waits only
// when its own pedal's ports are gone.
TEST_F(CorePedal, PortsWithoutThePedalEndTheLinkWaits)
{
    connect(kPulseRing);
    m_session.notice_ports({"PULSE RING", "Synth"});
    EXPECT_FALSE(m_session.link().port().transfer().waits_aborted());
    m_session.notice_ports({"Synth"});
    EXPECT_TRUE(m_session.link().port().transfer().waits_aborted());
    EXPECT_FALSE(m_session.check_connect());
}
