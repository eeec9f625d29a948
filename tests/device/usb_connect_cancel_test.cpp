#include "pedal_fixture.h"

#include "emulator/pedal_wire.h"
#include "hex_diff.h"
#include "support/task.h"

#include <thread>

namespace {

constexpr uint8_t CMD_ERASE = 0x21;
constexpr uint8_t CMD_WRITE = 0x22;
constexpr uint8_t CMD_READ = 0x23;

class CancelTest : public PedalTest {
protected:
    void SetUp() override { m_pedal = &add_opened_pedal(); }
    EReadEnd last_end() { return m_link->port().transfer().last_read_end(); }

    CPedalEmulator* m_pedal = nullptr;
    CTask m_task;
};

TEST_F(CancelTest, WriteStopsBetweenChunksOnceCancelled)
{
    const Bytes data(3 * 5120, 0x3C);
    m_task.set_listener([this] {
        if (m_task.progress().percent > 0)
            m_task.cancel();
    });
    const int logged = log_line_count();
    EXPECT_FALSE(m_link->flash_write(FLASH_TYPE_NAND, 0, data.data(), 3 * 5120, &m_task));
    EXPECT_EQ(update_commands(*m_pedal, CMD_WRITE).size(), 1u) << "no chunk after the cancel";
    EXPECT_EQ(m_pedal->nand().read(0, 5120), Bytes(5120, 0x3C));
    EXPECT_EQ(m_pedal->nand().read(5120, 4), Bytes(4, 0xFF));
    EXPECT_TRUE(m_link->take_faults().empty());
    EXPECT_EQ(log_line_count(), logged);
}

// A task cancelled before an operation starts: nothing goes to the pedal.
enum class EFlashOp { READ, WRITE, ERASE, CHECKSUM, VERIFY };

class CancelledBeforeTest : public CancelTest, public ::testing::WithParamInterface<EFlashOp> {};

TEST_P(CancelledBeforeTest, SendsNothing)
{
    m_task.cancel();
    const CUSBConnect::CTaskScope scope(*m_link, &m_task);
    unsigned char buf[8] = {};
    unsigned int sum = 0;
    switch (GetParam()) {
        case EFlashOp::READ:
            EXPECT_FALSE(m_link->flash_read(FLASH_TYPE_NAND, 0, buf, sizeof buf));
            break;
        case EFlashOp::WRITE:
            EXPECT_FALSE(m_link->flash_write(FLASH_TYPE_NAND, 0, buf, sizeof buf, nullptr));
            break;
        case EFlashOp::ERASE:
            EXPECT_FALSE(m_link->flash_erase(FLASH_TYPE_NAND, 0));
            break;
        case EFlashOp::CHECKSUM:
            EXPECT_FALSE(m_link->flash_checksum(FLASH_TYPE_NAND, 0, sizeof buf, sum));
            break;
        case EFlashOp::VERIFY:
            EXPECT_EQ(m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0, buf, sizeof buf, nullptr),
                      FLASH_VERIFY_WRITE_FAILED);
            break;
    }
    EXPECT_TRUE(update_commands(*m_pedal).empty());
}

INSTANTIATE_TEST_SUITE_P(Operations, CancelledBeforeTest,
                         ::testing::Values(EFlashOp::READ, EFlashOp::WRITE, EFlashOp::ERASE,
                                           EFlashOp::CHECKSUM, EFlashOp::VERIFY));

// The pedal stays silent on the second chunk and the task is cancelled while the link
// waits for it: the wait ends without counting toward the 5000 ms, no third chunk is asked
// for, and a cancel is no failure to log.
TEST_F(CancelTest, CancelDuringASilentReadReplyEndsTheWait)
{
    ASSERT_TRUE(m_pedal->nand().program(0, Bytes(3 * 5105, 0x11).data(), 3 * 5105));
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, CMD_READ, 2));
    fast_timeouts();
    m_clock.set_settle([this] {
        if (update_commands(*m_pedal, CMD_READ).size() == 2)
            m_task.cancel();
    });
    const int logged = log_line_count();
    Bytes got(3 * 5105);
    const CUSBConnect::CTaskScope scope(*m_link, &m_task);
    EXPECT_FALSE(m_link->flash_read(FLASH_TYPE_NAND, 0, got.data(), 3 * 5105));
    EXPECT_EQ(last_end(), EReadEnd::CANCELLED);
    EXPECT_EQ(m_clock.elapsed(), std::chrono::milliseconds(0));
    EXPECT_EQ(update_commands(*m_pedal, CMD_READ).size(), 2u);
    EXPECT_EQ(log_line_count(), logged);
}

// Another thread ends a wait on a silent pedal: the task's cancel, or the link being lost
// (the detection thread seeing the pedal unplugged). Real clock: the 30 s erase time-out
// would only pass if the wait were not ended.
enum class EInterrupt { CANCEL, ABORT };

class InterruptTest : public CancelTest, public ::testing::WithParamInterface<EInterrupt> {
protected:
    void interrupt()
    {
        if (GetParam() == EInterrupt::CANCEL)
            m_task.cancel();
        else
            m_link->abort_waits();
    }
    EReadEnd expected_end() const
    {
        return GetParam() == EInterrupt::CANCEL ? EReadEnd::CANCELLED : EReadEnd::LINK_LOST;
    }
};

TEST_P(InterruptTest, EndsASilentReplyWaitFromAnotherThread)
{
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, CMD_ERASE));
    std::thread other([this] {
        while (m_pedal->count_commands(EPedalMode::UPDATE, CMD_ERASE) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        interrupt();
    });
    bool erased = true;
    {
        const CUSBConnect::CTaskScope scope(*m_link, &m_task);
        erased = m_link->flash_erase(FLASH_TYPE_NAND, 0);
    }
    other.join();
    EXPECT_FALSE(erased);
    EXPECT_EQ(last_end(), expected_end());
    EXPECT_TRUE(m_link->take_faults().empty());
}

// Part of a reply came before the wait was ended: it is not judged as a bad reply.
TEST_P(InterruptTest, PartOfAReplyLeavesNoFault)
{
    std::vector<unsigned char> part = hex_bytes("F0 59 00 00");
    m_link->port().transfer().ReceiveEvent(&part);
    interrupt();
    const CUSBConnect::CTaskScope scope(*m_link, &m_task);
    int status = -1;
    EXPECT_FALSE(m_link->get_responds_responds(status, 50000));
    EXPECT_EQ(last_end(), expected_end());
    EXPECT_TRUE(m_link->take_faults().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, InterruptTest, ::testing::Values(EInterrupt::CANCEL, EInterrupt::ABORT),
                         [](const ::testing::TestParamInfo<EInterrupt>& info) {
                             return info.param == EInterrupt::CANCEL ? "Cancel" : "Abort";
                         });

// A request cancelled while the pedal is still at it, answered late, once the next request
// has gone out: the late reply is skipped and the next request gets its own. A status
// reply, which names no request, is settled by a query before an erase or a write.
struct SLateReply {
    const char* name;
    uint8_t cancelled;  // the command whose reply comes late
    uint8_t next;
};

class LateReplyTest : public CancelTest, public ::testing::WithParamInterface<SLateReply> {
protected:
    bool run(uint8_t command, unsigned int address)
    {
        unsigned int sum = 0;
        switch (command) {
            case CMD_READ:
                return m_link->flash_read(FLASH_TYPE_NAND, address, m_read.data(), 16);
            case CMD_WRITE:
                return m_link->flash_write(FLASH_TYPE_NAND, address + 0x1000, m_read.data(), 16, nullptr);
            case CMD_ERASE:
                return m_link->flash_erase(FLASH_TYPE_NAND, address + 0x40000);
            default:
                return m_link->flash_checksum(FLASH_TYPE_NAND, address, 16, sum);
        }
    }
    Bytes m_read = Bytes(16);
};

TEST_P(LateReplyTest, IsSkippedByTheNextRequest)
{
    ASSERT_TRUE(m_pedal->nand().program(0, Bytes(32, 0x11).data(), 32));
    ASSERT_TRUE(m_pedal->nand().program(0x800, Bytes(16, 0x5A).data(), 16));
    SPedalFault late = SPedalFault::update(EPedalFaultKind::DELAY, GetParam().cancelled, 1);
    late.delay_ms = 100;
    m_pedal->add_fault(late);
    fast_timeouts();
    // The first wait is cancelled at once; later ones wait for the pedal's replies.
    m_clock.set_settle([this] {
        if (!m_task.cancelled())
            m_task.cancel();
        else
            m_pedal->wait_until_idle();
    });
    {
        const CUSBConnect::CTaskScope scope(*m_link, &m_task);
        EXPECT_FALSE(run(GetParam().cancelled, 0));
    }
    EXPECT_EQ(last_end(), EReadEnd::CANCELLED);
    EXPECT_TRUE(run(GetParam().next, 0x800));
    if (GetParam().next == CMD_READ) {
        EXPECT_EQ(m_read, Bytes(16, 0x5A));
    }
    EXPECT_TRUE(m_link->take_faults().empty());
    EXPECT_EQ(m_clock.elapsed(), std::chrono::milliseconds(0)) << "no time-out waited out";
}

INSTANTIATE_TEST_SUITE_P(Requests, LateReplyTest,
                         ::testing::Values(SLateReply{"StatusBeforeARead", CMD_WRITE, CMD_READ},
                                           SLateReply{"ReadOfAnotherAddress", CMD_READ, CMD_READ},
                                           SLateReply{"SumBeforeARead", 0x24, CMD_READ},
                                           SLateReply{"ReadBeforeASum", CMD_READ, 0x24},
                                           SLateReply{"StatusBeforeAnErase", CMD_ERASE, CMD_ERASE},
                                           SLateReply{"StatusBeforeAWrite", CMD_WRITE, CMD_WRITE}),
                         [](const ::testing::TestParamInfo<SLateReply>& info) { return info.param.name; });

TEST_F(CancelTest, LostLinkTakesNoRequestUntilTheNextOpen)
{
    m_link->abort_waits();
    EXPECT_FALSE(m_link->flash_erase(FLASH_TYPE_NAND, 0));
    EXPECT_TRUE(update_commands(*m_pedal).empty());
    ASSERT_TRUE(open_link(*m_pedal));
    EXPECT_TRUE(m_link->flash_erase(FLASH_TYPE_NAND, 0));
}

}  // namespace
