#include "pedal_fixture.h"

#include "hex_diff.h"

namespace {

Bytes pattern(size_t n, unsigned int seed)
{
    Bytes data(n);
    for (size_t k = 0; k < n; ++k)
        data[k] = static_cast<uint8_t>((k * 7 + seed) ^ (k >> 9));
    return data;
}

class FlashTest : public PedalTest {
protected:
    void SetUp() override { m_pedal = &add_opened_pedal(); }
    CPedalEmulator* m_pedal = nullptr;
};

TEST_F(FlashTest, ReadIsSplitIntoChunksThatFitThePedalsBuffer)
{
    const Bytes stored = pattern(10211, 3);
    ASSERT_TRUE(m_pedal->nand().program(0x40000, stored.data(), 10211));
    Bytes got(10211);
    ASSERT_TRUE(m_link->flash_read(FLASH_TYPE_NAND, 0x40000, got.data(), 10211));
    EXPECT_EQ(got, stored) << hex_diff(got, stored);

    const auto reads = update_commands(*m_pedal, 0x23);
    ASSERT_EQ(reads.size(), 3u);
    const uint32_t lengths[3] = {5105, 5105, 1};
    const uint32_t addresses[3] = {0x40000, 0x40000 + 5105, 0x40000 + 10210};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(reads[k].flash_type, FLASH_TYPE_NAND);
        EXPECT_EQ(reads[k].length, lengths[k]) << "chunk " << k;
        EXPECT_EQ(reads[k].address, addresses[k]) << "chunk " << k;
    }
}

// Step i of 3 per acknowledged chunk, on the task's percent range: a song's 0..100 or the
// firmware write pass's 80..100.
struct SStepCase {
    int from;
    int to;
    std::vector<int> percents;
};

class FlashStepTest : public FlashTest, public ::testing::WithParamInterface<SStepCase> {};

TEST_P(FlashStepTest, WriteReportsOneStepAndItsBytesPerAcknowledgedChunk)
{
    const Bytes data = pattern(10241, 11);
    CTaskRecorder recorder;
    recorder.task.set_percent_range(GetParam().from, GetParam().to);
    ASSERT_TRUE(m_link->flash_write(FLASH_TYPE_NAND, 0x20000, data.data(), 10241, &recorder.task));
    EXPECT_EQ(recorder.percents, GetParam().percents);
    EXPECT_EQ(recorder.bytes(), 10241u);
    EXPECT_EQ(m_pedal->nand().read(0x20000, 10241), data);

    const auto writes = update_commands(*m_pedal, 0x22);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].length, 5120u);
    EXPECT_EQ(writes[1].address, 0x20000u + 5120);
    EXPECT_EQ(writes[2].length, 1u);
}

INSTANTIATE_TEST_SUITE_P(Ranges, FlashStepTest,
                         ::testing::Values(SStepCase{0, 100, {33, 66, 100}},
                                           SStepCase{80, 100, {86, 93, 100}}));

TEST_F(FlashTest, WriteStopsAtTheFirstRefusedChunkAndKeepsTheEarlierOnes)
{
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x22, 2));
    const Bytes data = pattern(3 * 5120, 5);
    CTaskRecorder recorder;
    EXPECT_FALSE(m_link->flash_write(FLASH_TYPE_NAND, 0, data.data(), 3 * 5120, &recorder.task));
    EXPECT_EQ(recorder.percents, std::vector<int>{33});
    EXPECT_EQ(recorder.bytes(), 5120u);
    EXPECT_EQ(update_commands(*m_pedal, 0x22).size(), 2u);
    EXPECT_EQ(m_pedal->nand().read(0, 5120), Bytes(data.begin(), data.begin() + 5120));
}

TEST_F(FlashTest, ZeroBytesNeedNoTraffic)
{
    CTaskRecorder recorder;
    unsigned char buf[1] = {0x5A};
    EXPECT_TRUE(m_link->flash_read(FLASH_TYPE_NAND, 0, buf, 0));
    EXPECT_TRUE(m_link->flash_write(FLASH_TYPE_NAND, 0, buf, 0, &recorder.task));
    EXPECT_TRUE(recorder.percents.empty());
    m_pedal->wait_until_idle();
    EXPECT_TRUE(m_pedal->command_log().empty());
}

TEST_F(FlashTest, VerifyComparesTheSixteenBitRangeSum)
{
    const Bytes ff = hex_bytes("FF FF");
    EXPECT_EQ(m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0x1000, ff.data(), 2, nullptr),
              FLASH_VERIFY_OK);
    unsigned int sum = 0;
    ASSERT_TRUE(m_link->flash_checksum(FLASH_TYPE_NAND, 0x1000, 2, sum));
    EXPECT_EQ(sum, 0x01FEu);

    // Programming only clears bits: FF FF over 00 00 leaves 00 00, and the sums differ.
    const Bytes zeros = hex_bytes("00 00");
    ASSERT_TRUE(m_pedal->nand().program(0x3000, zeros.data(), 2));
    EXPECT_EQ(m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0x3000, ff.data(), 2, nullptr),
              FLASH_VERIFY_MISMATCH);
}

TEST_F(FlashTest, VerifySumWrapsAtSixteenBits)
{
    const Bytes data(300, 0xFF);  // 300 * 255 = 76500, 0x2AD4 after wrapping
    EXPECT_EQ(m_link->flash_write_and_verify(FLASH_TYPE_NAND, 0x8000, data.data(), 300, nullptr),
              FLASH_VERIFY_OK);
}

TEST_F(FlashTest, EraseReturnsTheUnitToFF)
{
    const Bytes data = pattern(64, 1);
    ASSERT_TRUE(m_link->flash_write(FLASH_TYPE_SYSTEM, 0x4000, data.data(), 64, nullptr));
    ASSERT_TRUE(m_link->flash_erase(FLASH_TYPE_SYSTEM, 0x4000));
    Bytes got(64);
    ASSERT_TRUE(m_link->flash_read(FLASH_TYPE_SYSTEM, 0x4000, got.data(), 64));
    EXPECT_EQ(got, Bytes(64, 0xFF));
}

}  // namespace
