#include "device/byte_cycle_array.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

std::vector<unsigned char> drain(SByteCycleArray& ring)
{
    std::vector<unsigned char> taken;
    unsigned char b;
    while (ring.Read(b))
        taken.push_back(b);
    return taken;
}

TEST(ByteCycleArray, WrapsAroundTheEndOfASmallRing)
{
    unsigned char storage[8] = {};
    SByteCycleArray ring;
    ring.Init(storage, 8);
    ring.read_index = 6;
    ring.write_index = 6;
    const unsigned char bytes[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(ring.Write(bytes, 5));
    EXPECT_EQ(ring.write_index.load(), 3u);
    EXPECT_EQ(storage[6], 1);
    EXPECT_EQ(storage[7], 2);
    EXPECT_EQ(storage[0], 3);
    EXPECT_EQ(storage[2], 5);
    unsigned char b = 0;
    for (unsigned char expected = 1; expected <= 5; ++expected) {
        ASSERT_TRUE(ring.Read(b));
        EXPECT_EQ(b, expected);
    }
    EXPECT_FALSE(ring.Read(b));
}

TEST(ByteCycleArray, WriteEndingExactlyAtTheEndWrapsTheIndexToZero)
{
    SByteCycleArray ring(8);
    ring.read_index = 4;
    ring.write_index = 4;
    const unsigned char bytes[4] = {9, 8, 7, 6};
    ASSERT_TRUE(ring.Write(bytes, 4));
    EXPECT_EQ(ring.write_index.load(), 0u);
    EXPECT_EQ(drain(ring), (std::vector<unsigned char>{9, 8, 7, 6}));
}

TEST(ByteCycleArray, ClearDropsUnreadBytes)
{
    SByteCycleArray ring(8);
    ASSERT_TRUE(ring.Write(0x11));
    ASSERT_TRUE(ring.Write(0x22));
    ring.Clear();
    unsigned char b;
    EXPECT_FALSE(ring.Read(b));
    EXPECT_TRUE(ring.empty());
}

TEST(ByteCycleArray, RefusesWhatDoesNotFitAndKeepsUnreadBytes)
{
    SByteCycleArray ring(8);
    const unsigned char seven[7] = {1, 2, 3, 4, 5, 6, 7};
    const unsigned char eight[8] = {};
    EXPECT_FALSE(ring.Write(eight, 8)) << "a ring holds at most capacity - 1 bytes";
    ASSERT_TRUE(ring.Write(seven, 7));
    EXPECT_FALSE(ring.Write(0x99)) << "a full ring must not overwrite unread bytes";
    unsigned char b;
    ASSERT_TRUE(ring.Read(b));
    EXPECT_TRUE(ring.Write(0x99));
    EXPECT_EQ(drain(ring), (std::vector<unsigned char>{2, 3, 4, 5, 6, 7, 0x99}));

    SByteCycleArray no_storage;
    EXPECT_FALSE(no_storage.Write(0x01));
    EXPECT_FALSE(no_storage.Read(b));
}

TEST(ByteCycleArray, MovesUnreadBytesOfAnotherRingUntilFull)
{
    SByteCycleArray source(16);
    const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(source.Write(bytes, 6));
    SByteCycleArray target(5);
    EXPECT_EQ(target.Write(source), 4u);
    EXPECT_EQ(drain(target), (std::vector<unsigned char>{1, 2, 3, 4}));
    EXPECT_EQ(drain(source), (std::vector<unsigned char>{5, 6}));
}

// One writer and one reader on two threads: every byte arrives once and in order. Run
// under ThreadSanitizer this also proves the hand-over free of data races.
TEST(ByteCycleArray, OneWriterOneReaderKeepOrderAcrossThreads)
{
    SByteCycleArray ring(64);
    constexpr unsigned int total = 200000;
    std::thread writer([&] {
        unsigned int next = 0;
        while (next < total) {
            unsigned char block[7];
            const unsigned int n = std::min(7u, total - next);
            for (unsigned int k = 0; k < n; ++k)
                block[k] = static_cast<unsigned char>((next + k) * 31);
            if (ring.Write(block, n))
                next += n;
            else
                std::this_thread::yield();
        }
    });
    unsigned int received = 0;
    bool in_order = true;
    while (received < total) {
        unsigned char b;
        if (!ring.Read(b)) {
            std::this_thread::yield();
            continue;
        }
        in_order = in_order && b == static_cast<unsigned char>(received * 31);
        ++received;
    }
    writer.join();
    EXPECT_TRUE(in_order);
    EXPECT_TRUE(ring.empty());
}

}  // namespace
