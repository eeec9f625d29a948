#include "core/song_commands/pages_ahead.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

unsigned char byte_at(uint64_t position)
{
    return static_cast<unsigned char>(position % 251);
}

// A fill that gives byte_at() of each position, failing for any byte from `fails_at` on.
CPagesAhead::Fill counting_fill(uint64_t fails_at)
{
    auto made = std::make_shared<uint64_t>(0);
    return [made, fails_at](unsigned char* out, size_t count) {
        if (*made + count > fails_at)
            return false;
        for (size_t i = 0; i < count; ++i)
            out[i] = byte_at((*made)++);
        return true;
    };
}

}  // namespace

// The song comes out in order and whole, in pieces of a page that cross the chunks the
// thread makes, and nothing past its length; a fill that fails ends the song there and
// never hands out a byte it did not make.
struct SAheadCase {
    const char* name;
    uint64_t length;
    uint64_t fails_at;
};

class PagesAhead : public ::testing::TestWithParam<SAheadCase> {};

TEST_P(PagesAhead, HandsOutWhatTheFillMadeInOrder)
{
    const SAheadCase& c = GetParam();
    CPagesAhead ahead(c.length, counting_fill(c.fails_at));
    ASSERT_TRUE(ahead.start());
    constexpr size_t kPage = 4032;
    std::vector<unsigned char> page(kPage);
    uint64_t handed = 0;
    while (handed < c.length) {
        const size_t count = size_t(std::min<uint64_t>(kPage, c.length - handed));
        if (!ahead.next(page.data(), count))
            break;
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ(page[i], byte_at(handed + i)) << handed + i;
        handed += count;
    }
    if (c.fails_at >= c.length)
        EXPECT_EQ(handed, c.length);
    else
        EXPECT_LE(handed, c.fails_at);
    EXPECT_FALSE(ahead.next(page.data(), 1));
}

INSTANTIATE_TEST_SUITE_P(Songs, PagesAhead,
                         ::testing::Values(SAheadCase{"Empty", 0, UINT64_MAX},
                                           SAheadCase{"LessThanAPage", 1000, UINT64_MAX},
                                           SAheadCase{"ManyChunks", 3'000'001, UINT64_MAX},
                                           SAheadCase{"FillFailsInTheSong", 3'000'001, 1'000'000},
                                           SAheadCase{"FillFailsAtOnce", 3'000'001, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A write that stops early (cancelled, refused) leaves with the thread still ahead of it:
// the end stops the thread rather than waiting for the rest of the song.
TEST(PagesAheadEnd, EndsWhileTheSongIsHalfTaken)
{
    CPagesAhead ahead(uint64_t{1} << 40, counting_fill(UINT64_MAX));
    ASSERT_TRUE(ahead.start());
    unsigned char page[4032];
    ASSERT_TRUE(ahead.next(page, sizeof page));
    ahead.finish();
    EXPECT_FALSE(ahead.next(page, sizeof page));
}
