#include "pedal_fixture.h"

#include "emulator/pedal_wire.h"
#include "hex_diff.h"

#include <QRegularExpression>

namespace {

enum class EOperation { QUERY, READ, WRITE, ERASE, VERIFY };

QStringList fault_texts(const std::vector<SLinkFault>& faults)
{
    QStringList texts;
    for (const SLinkFault& fault : faults)
        texts.push_back(link_fault_text(fault));
    return texts;
}

// One faulty reply and what the link must make of it.
struct SReplyCase {
    const char* name;
    EOperation operation;
    EPedalFaultKind fault;
    int command;
    int result;              // bool operations: 1 true, 0 false; VERIFY: its result code
    const char* left;        // whole-text pattern of the one link fault left, or null for none
    const char* debug;       // a debug line that must be written, or null
    unsigned int waited_ms;  // clock time the last read counted when it timed out, else 0
    bool logs_read_failure;
};

void PrintTo(const SReplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplyCheck : public PedalTest, public ::testing::WithParamInterface<SReplyCase> {
protected:
    int run(EOperation operation)
    {
        static const unsigned char data[3] = {0x10, 0x20, 0x30};
        unsigned char buf[16];
        std::string name;
        std::string version;
        switch (operation) {
            case EOperation::QUERY:
                return m_link->get_device_name_and_version(name, version, 200);
            case EOperation::READ:
                return m_link->flash_read(FLASH_TYPE_SYSTEM, 0x2180, buf, sizeof buf);
            case EOperation::WRITE:
                return m_link->flash_write(FLASH_TYPE_NAND, 0x800, data, sizeof data, nullptr);
            case EOperation::ERASE:
                return m_link->flash_erase(FLASH_TYPE_NAND, 0x800);
            case EOperation::VERIFY:
                return m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0x800, data, sizeof data, nullptr);
        }
        return -1;
    }
};

TEST_P(ReplyCheck, FailsWithItsFault)
{
    const SReplyCase& c = GetParam();
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    if (c.waited_ms)
        fast_timeouts();
    pedal.add_fault(SPedalFault::update(c.fault, c.command));
    CDebugCapture debug;
    const int log_before = log_line_count();

    EXPECT_EQ(run(c.operation), c.result);

    const QStringList faults = fault_texts(m_link->take_faults());
    if (c.left) {
        ASSERT_EQ(faults.size(), 1) << faults.join(" | ").toStdString();
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(QString::fromUtf8(c.left)));
        EXPECT_TRUE(pattern.match(faults.front()).hasMatch()) << faults.front().toStdString();
    } else {
        EXPECT_TRUE(faults.isEmpty()) << faults.join(" | ").toStdString();
    }
    EXPECT_TRUE(m_link->take_faults().empty()) << "a fault is handed out once";
    if (c.debug) {
        EXPECT_TRUE(debug.contains(c.debug)) << debug.lines().join(" | ").toStdString();
    }
    if (c.waited_ms) {
        EXPECT_EQ(m_link->port().transfer().last_read_end(), EReadEnd::TIMED_OUT);
        EXPECT_EQ(last_read_waited(), std::chrono::milliseconds(c.waited_ms));
    }
    const QStringList logged = log_lines_after(log_before);
    EXPECT_EQ(logged.size(), c.logs_read_failure ? 1 : 0) << logged.join(" | ").toStdString();
    if (c.logs_read_failure && !logged.isEmpty()) {
        EXPECT_TRUE(logged.front().endsWith("{CUSBConnect::flash_read failed}"))
            << logged.front().toStdString();
    }
}

// A bad checksum names the computed value and the received one, its complement here.
const char* const CHECKSUM_FAULT = "Checksum错误,算出来是([0-9A-F]{2}), 包内校验是([0-9A-F]{2})";

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyCheck,
    ::testing::Values(SReplyCase{"QueryShort", EOperation::QUERY, EPedalFaultKind::SHORT_REPLY, 0x11, 0,
                                 "Data length error", nullptr, 0, false},
                      SReplyCase{"QueryLengthFieldPastTheEnd", EOperation::QUERY,
                                 EPedalFaultKind::WRONG_LENGTH_FIELD, 0x11, 0, "Data length error", nullptr,
                                 0, false},
                      SReplyCase{"QueryWrongType", EOperation::QUERY, EPedalFaultKind::WRONG_TYPE, 0x11, 0,
                                 "Cmd type error", nullptr, 0, false},
                      SReplyCase{"QueryBadChecksum", EOperation::QUERY, EPedalFaultKind::BAD_CHECKSUM, 0x11,
                                 0, CHECKSUM_FAULT, nullptr, 0, false},
                      SReplyCase{"QuerySilent", EOperation::QUERY, EPedalFaultKind::NO_REPLY, 0x11, 0,
                                 nullptr, nullptr, 200, false},
                      SReplyCase{"ReadWrongType", EOperation::READ, EPedalFaultKind::WRONG_TYPE, 0x23, 0,
                                 nullptr, "get_upload_responds::Data type not 0x23!", 0, true},
                      SReplyCase{"ReadShort", EOperation::READ, EPedalFaultKind::SHORT_REPLY, 0x23, 0,
                                 "Data length error,need 31 bytes,got 30 bytes", nullptr, 0, true},
                      SReplyCase{"ReadLengthFieldPastTheEnd", EOperation::READ,
                                 EPedalFaultKind::WRONG_LENGTH_FIELD, 0x23, 0,
                                 "Data length error,need 32 bytes,got 31 bytes", nullptr, 0, true},
                      SReplyCase{"ReadBadChecksum", EOperation::READ, EPedalFaultKind::BAD_CHECKSUM, 0x23, 0,
                                 CHECKSUM_FAULT, "get_upload_responds::Checksum error!", 0, true},
                      SReplyCase{"ReadWrongAddress", EOperation::READ, EPedalFaultKind::WRONG_ADDRESS, 0x23,
                                 0, nullptr, nullptr, 0, true},
                      SReplyCase{"ReadSilent", EOperation::READ, EPedalFaultKind::NO_REPLY, 0x23, 0, nullptr,
                                 nullptr, 5000, true},
                      SReplyCase{"WriteStatusOfSevenBytes", EOperation::WRITE, EPedalFaultKind::SHORT_REPLY,
                                 0x22, 0, "读取回复码长度错误,需要8字节,收到7字节", nullptr, 0, false},
                      SReplyCase{"WriteStatusWrongType", EOperation::WRITE, EPedalFaultKind::WRONG_TYPE, 0x22,
                                 0, nullptr, nullptr, 0, false},
                      SReplyCase{"WriteRefused", EOperation::WRITE, EPedalFaultKind::REFUSE, 0x22, 0, nullptr,
                                 nullptr, 0, false},
                      SReplyCase{"WriteSilent", EOperation::WRITE, EPedalFaultKind::NO_REPLY, 0x22, 0,
                                 nullptr, nullptr, 50000, false},
                      SReplyCase{"EraseRefused", EOperation::ERASE, EPedalFaultKind::REFUSE, 0x21, 0, nullptr,
                                 nullptr, 0, false},
                      SReplyCase{"EraseSilent", EOperation::ERASE, EPedalFaultKind::NO_REPLY, 0x21, 0,
                                 nullptr, nullptr, 30000, false},
                      SReplyCase{"VerifyWriteFails", EOperation::VERIFY, EPedalFaultKind::REFUSE, 0x22, 0,
                                 nullptr, nullptr, 0, false},
                      SReplyCase{"VerifyChecksumBad", EOperation::VERIFY, EPedalFaultKind::BAD_CHECKSUM, 0x24,
                                 4, CHECKSUM_FAULT, nullptr, 0, false},
                      SReplyCase{"VerifyChecksumWrongType", EOperation::VERIFY, EPedalFaultKind::WRONG_TYPE,
                                 0x24, 4, nullptr, nullptr, 0, false},
                      SReplyCase{"VerifyChecksumShort", EOperation::VERIFY, EPedalFaultKind::SHORT_REPLY,
                                 0x24, 4, nullptr, nullptr, 0, false},
                      SReplyCase{"VerifyChecksumLengthFieldPastTheEnd", EOperation::VERIFY,
                                 EPedalFaultKind::WRONG_LENGTH_FIELD, 0x24, 4, nullptr, nullptr, 0, false},
                      SReplyCase{"VerifyChecksumSilent", EOperation::VERIFY, EPedalFaultKind::NO_REPLY, 0x24,
                                 4, nullptr, nullptr, 30000, false}),
    [](const ::testing::TestParamInfo<SReplyCase>& info) { return std::string(info.param.name); });

TEST_F(PedalTest, ChecksumFaultCarriesTheComputedSumAndTheReceivedByte)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::BAD_CHECKSUM, 0x11));
    std::string name;
    std::string version;
    EXPECT_FALSE(m_link->get_device_name_and_version(name, version, 200));
    const std::vector<SLinkFault> faults = m_link->take_faults();
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].kind, ELinkFault::CHECKSUM);
    // The pedal inverted its checksum byte, so what came is the complement of what is due.
    EXPECT_EQ(faults[0].needed ^ faults[0].got, 0xFFu);
    const QRegularExpressionMatch match =
        QRegularExpression(QString::fromUtf8(CHECKSUM_FAULT)).match(link_fault_text(faults[0]));
    ASSERT_TRUE(match.hasMatch());
    EXPECT_EQ(match.captured(1).toUInt(nullptr, 16), faults[0].needed);
    EXPECT_EQ(match.captured(2).toUInt(nullptr, 16), faults[0].got);
}

TEST_F(PedalTest, AFloodOfBadRepliesKeepsOnlyTheFirstFaults)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::WRONG_TYPE, 0x11, 1));
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::SHORT_REPLY, 0x11));
    std::string name;
    std::string version;
    for (unsigned int k = 0; k < CUSBConnect::MAX_FAULTS + 4; ++k)
        EXPECT_FALSE(m_link->get_device_name_and_version(name, version, 200));
    const std::vector<SLinkFault> faults = m_link->take_faults();
    ASSERT_EQ(faults.size(), CUSBConnect::MAX_FAULTS);
    EXPECT_EQ(faults.front().kind, ELinkFault::COMMAND_TYPE);
    EXPECT_EQ(faults.back().kind, ELinkFault::DATA_LENGTH);
}

// A length near the top of the 32-bit range must not wrap the expected reply size into a
// small one: a short reply's own length field would then drive the copy out of the
// receive buffer.
TEST_F(PedalTest, LengthsThatWouldWrapTheReplySizeAreRefused)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    pedal.wait_until_idle();
    pedal.clear_command_log();
    unsigned char data[16] = {};
    EXPECT_FALSE(m_link->send_download_data(FLASH_TYPE_NAND, 0, data, 0xFFFFFFF8u));

    // 14 bytes, as many as 0xFFFFFFFF + 15 wraps to; its length field reads 0x60FFFF.
    std::vector<unsigned char> reply =
        pedal_wire::frame(pedal_wire::make_packet(0x23, hex_bytes("00 80 21 00 00 FF FF")), true);
    m_link->port().transfer().ReceiveEvent(&reply);
    EFlashType type = FLASH_TYPE_NAND;
    unsigned int address = 0;
    unsigned int length = 0;
    EXPECT_FALSE(m_link->get_upload_responds(data, 0xFFFFFFFFu, type, address, length, 5));
    EXPECT_TRUE(m_link->take_faults().empty());
    pedal.wait_until_idle();
    EXPECT_TRUE(pedal.command_log().empty());
}

TEST_F(PedalTest, LateReplyWithinTheTimeOutIsAccepted)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    SPedalFault late = SPedalFault::update(EPedalFaultKind::DELAY, 0x21);
    late.delay_ms = 50;
    pedal.add_fault(late);
    EXPECT_TRUE(m_link->flash_erase(FLASH_TYPE_NAND, 0));
}

TEST_F(PedalTest, ClosedLinkFailsEveryRequestWithoutTraffic)
{
    CPedalEmulator& pedal = add_pedal();
    unsigned char buf[4];
    unsigned int sum = 0;
    unsigned char value = 0;
    std::string name;
    std::string version;
    EXPECT_FALSE(m_link->flash_read(FLASH_TYPE_SYSTEM, 0, buf, 4));
    EXPECT_FALSE(m_link->flash_write(FLASH_TYPE_NAND, 0, buf, 4, nullptr));
    EXPECT_FALSE(m_link->flash_erase(FLASH_TYPE_NAND, 0));
    EXPECT_FALSE(m_link->flash_checksum(FLASH_TYPE_NAND, 0, 4, sum));
    EXPECT_EQ(m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0, buf, 4, nullptr), FLASH_VERIFY_WRITE_FAILED);
    EXPECT_FALSE(m_link->get_device_name_and_version(name, version, 50));
    EXPECT_FALSE(m_link->check_connect());
    EXPECT_FALSE(m_link->send_free_cmd(0x21, 0x00, 0x21));
    EXPECT_FALSE(m_link->get_mic_app_status(1, value));
    EXPECT_FALSE(m_link->set_system_mode(SYSTEM_MODE_UPDATE));
    EXPECT_EQ(m_link->get_system_mode(), SYSTEM_MODE_NONE);
    pedal.wait_until_idle();
    EXPECT_TRUE(pedal.command_log().empty());
}

}  // namespace
