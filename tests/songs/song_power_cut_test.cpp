#include "song_pedal.h"

#include <algorithm>
#include <iostream>
#include <string>

namespace {

enum class ECommand { IMPORT, OVERWRITE, DELETE };

struct SCutCase {
    const char* name;
    uint32_t product;
    ECommand command;
    // Records written before the old song so that it sits in the info block's last record
    // page, forcing the overwrite to erase the info block.
    unsigned earlier_records;
};

// What the cut leaves of the operation it hits; `written` counts from the end of a write
// when negative (-1: every byte but the last).
struct SCutEffect {
    const char* name;
    EPowerCutEffect effect;
    int written;
};

constexpr SCutEffect EFFECTS[] = {{"not done", EPowerCutEffect::NOT_DONE, 0},
                                  {"first byte", EPowerCutEffect::PARTLY_DONE, 1},
                                  {"half", EPowerCutEffect::PARTLY_DONE, 0},
                                  {"all but the last byte", EPowerCutEffect::PARTLY_DONE, -1}};

// A command cut short by a power cut at each of its flash operations in turn, each cut
// leaving the operation not done or half done. After the pedal comes back the slot holds
// its state from before or after the command, every other slot's info block is unchanged
// byte for byte and its song reads back whole, and the next write works. A cut while an
// overwrite erases a full info block, or before the new record after it is whole, leaves
// the slot without a readable record: the next load writes back the journalled record of
// the new song and says so once. The journal is empty again after every load.
class SongPowerCutTest : public SongPedalTest, public ::testing::WithParamInterface<SCutCase> {
protected:
    void prepare()
    {
        connect(GetParam().product);
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        other_slot = m_store.slot_count() > 1 ? 1 : -1;
        if (other_slot >= 0)
            store_song(other_slot, other_song);
        for (unsigned i = 0; i < GetParam().earlier_records; ++i)
            ASSERT_EQ(write(song_bytes(geometry().unit_size, i)), LOOPER_RESULT_OK);
        if (GetParam().command != ECommand::IMPORT)
            store_song(0, old_song);
        pedal().clear_command_log();
    }
    ELooperActionResult write(const Bytes& song)
    {
        return m_store.write_file(0, song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    ELooperActionResult run()
    {
        return GetParam().command == ECommand::DELETE ? m_store.delete_file(0) : write(new_song);
    }
    std::vector<SPedalCommandRecord> flash_log() const
    {
        std::vector<SPedalCommandRecord> found;
        for (const SPedalCommandRecord& entry : commands())
            if (entry.command == CMD_ERASE || entry.command == CMD_WRITE)
                found.push_back(entry);
        return found;
    }
    bool on_info_block(const SPedalCommandRecord& entry) const
    {
        return entry.flash_type == NAND && entry.address / geometry().block_size == geometry().song_blocks;
    }
    std::vector<Bytes> other_info_blocks()
    {
        std::vector<Bytes> blocks;
        for (unsigned slot = 1; slot < m_store.slot_count(); ++slot)
            blocks.push_back(nand_bytes(geometry().song_blocks + slot, 0, 0, geometry().block_size));
        return blocks;
    }
    Bytes song_before() const
    {
        return GetParam().command == ECommand::IMPORT ? Bytes{} : stored_form(old_song, GetParam().product);
    }
    Bytes song_after() const
    {
        return GetParam().command == ECommand::DELETE ? Bytes{} : stored_form(new_song, GetParam().product);
    }

    // Long enough to cross a page boundary, short enough to stay in one block.
    Bytes old_song, new_song;
    const Bytes other_song = song_bytes(5000, 3);
    int other_slot = -1;
};

TEST_P(SongPowerCutTest, EveryCutKeepsTheStateBeforeOrAfterTheCommand)
{
    connect(GetParam().product);
    old_song = song_bytes(2 * geometry().page_data_size + 100, 1);
    new_song = song_bytes(2 * geometry().page_data_size + 500, 2);
    prepare();
    ASSERT_EQ(run(), LOOPER_RESULT_OK);
    const std::vector<SPedalCommandRecord> operations = flash_log();
    // The operation that switches the slot: the info record's write, or the delete's erase.
    size_t commit = 0;
    for (size_t i = 0; i < operations.size(); ++i)
        if (on_info_block(operations[i]) && commit == 0 &&
            (operations[i].command == CMD_WRITE || GetParam().command == ECommand::DELETE))
            commit = i + 1;
    ASSERT_GT(commit, 0u);
    const bool rollover = GetParam().earlier_records > 0;

    unsigned runs = 0;
    for (size_t cut = 1; cut <= operations.size() + 1; ++cut) {
        for (const SCutEffect& effect : EFFECTS) {
            // One run without a cut. Every operation is cut not done and half done; the
            // record's own write also after its first byte and before its last.
            const bool cut_at_record = cut <= operations.size() && operations[cut - 1].command == CMD_WRITE &&
                                       on_info_block(operations[cut - 1]);
            const bool cut_at_erase = cut <= operations.size() && operations[cut - 1].command == CMD_ERASE;
            if ((cut > operations.size() && effect.effect != EPowerCutEffect::NOT_DONE) ||
                (!cut_at_record && effect.written != 0))
                continue;
            SCOPED_TRACE("power cut (" + std::string(effect.name) + ") at flash operation " +
                         std::to_string(cut) + " of " + std::to_string(operations.size()));
            ++runs;
            prepare();
            const std::vector<Bytes> others = other_info_blocks();
            quick_timeouts();
            if (cut <= operations.size()) {
                const uint32_t length = operations[cut - 1].length;
                const uint32_t written = effect.written > 0   ? static_cast<uint32_t>(effect.written)
                                         : effect.written < 0 ? length - 1
                                                              : HALF_OF_THE_WRITE;
                pedal().cut_power_at_flash_operation(static_cast<unsigned>(cut), effect.effect, written);
            }
            EXPECT_EQ(run() == LOOPER_RESULT_OK, cut > operations.size());
            reconnect();

            const bool partly = effect.effect == EPowerCutEffect::PARTLY_DONE;
            const bool info_erase_cut = cut_at_erase && on_info_block(operations[cut - 1]);
            // The legacy record ends in a fill byte after its tail tag: without it, it is whole.
            const bool record_whole =
                cut == commit && effect.written < 0 && GetParam().product == SMALL_WHEEL;
            const bool recovered = rollover && !record_whole && (cut == commit || (info_erase_cut && partly));
            const ELooperActionResult loaded = m_store.load_song_info();
            if (info_erase_cut && partly && !recovered) {
                EXPECT_TRUE(loaded == LOOPER_RESULT_OK || loaded == LOOPER_RESULT_CHECKSUM_ERROR) << loaded;
            } else {
                EXPECT_EQ(loaded, LOOPER_RESULT_OK);
            }

            const Bytes back = read_song(0);
            std::vector<Bytes> allowed{cut > commit ? song_after() : song_before()};
            if (cut == commit && partly)
                allowed.push_back(song_after());
            if (recovered)
                allowed = {song_after()};
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), back), allowed.end())
                << hex_diff(back, allowed.front());
            EXPECT_EQ(m_store.take_load_problems(),
                      recovered ? QStringList{CLooperSongData::recovered_notice(0)} : QStringList{});
            EXPECT_TRUE(CSongJournal(m_journal).entries().empty());
            // Only a torn record over an earlier song is told to the user.
            const bool kept_over_torn = cut == commit && partly && GetParam().command != ECommand::DELETE &&
                                        !song_before().empty() && back == song_before() && !recovered;
            EXPECT_EQ(m_store.fallback_slots(),
                      kept_over_torn ? std::vector<unsigned>{0} : std::vector<unsigned>{});

            EXPECT_TRUE(other_info_blocks() == others) << "another slot's info block changed";
            if (other_slot >= 0) {
                EXPECT_TRUE(read_song(other_slot) == stored_form(other_song, GetParam().product));
            }
            // The slot takes a new song whatever the cut left in its info block.
            const Bytes next = song_bytes(3000, static_cast<unsigned>(cut));
            ASSERT_EQ(write(next), LOOPER_RESULT_OK);
            ASSERT_EQ(m_store.reload_slot(0), LOOPER_RESULT_OK);
            EXPECT_TRUE(read_song(0) == stored_form(next, GetParam().product));
        }
    }
    std::cout << GetParam().name << ": " << runs << " power-cut runs" << std::endl;
    RecordProperty("power_cut_runs", static_cast<int>(runs));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SongPowerCutTest,
    ::testing::Values(SCutCase{"PulseRingImport", PULSE_RING, ECommand::IMPORT, 0},
                      SCutCase{"PulseRingOverwrite", PULSE_RING, ECommand::OVERWRITE, 0},
                      SCutCase{"PulseRingOverwriteFullJournal", PULSE_RING, ECommand::OVERWRITE, 63},
                      SCutCase{"PulseRingDelete", PULSE_RING, ECommand::DELETE, 0},
                      SCutCase{"SmallWheelImport", SMALL_WHEEL, ECommand::IMPORT, 0},
                      SCutCase{"SmallWheelOverwrite", SMALL_WHEEL, ECommand::OVERWRITE, 0},
                      SCutCase{"SmallWheelOverwriteFullJournal", SMALL_WHEEL, ECommand::OVERWRITE, 30},
                      SCutCase{"SmallWheelDelete", SMALL_WHEEL, ECommand::DELETE, 0}),
    [](const ::testing::TestParamInfo<SCutCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

enum class EMoveKind { MOVE, SWAP_THROUGH_FREE, DIRECT_SWAP };

struct SMoveCutCase {
    const char* name;
    EMoveKind kind;
};

// Songs moved by their records, cut short at each flash operation in turn. A reload with
// the journal finds every song exactly once, whole, in a slot it was in or was going to
// (or the empty slot a swap passes through) and leaves the journal empty. Moves are safe
// on a computer without the journal too: no song is lost, and a song a cut left in two
// slots stays whole when either is deleted and its blocks are offered to a new song.
class SongMovePowerCutTest : public SongPedalTest, public ::testing::WithParamInterface<SMoveCutCase> {
protected:
    // Song A in slot 0, for a swap song B in slot 1; for a direct swap, slot 0's record in
    // its info block's last page, so the swap's first record rolls the block over.
    void prepare()
    {
        connect(PULSE_RING);
        m_store.set_journal(&m_journal);
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        const bool full = GetParam().kind == EMoveKind::DIRECT_SWAP;
        for (unsigned i = 0; full && i < geometry().pages_per_block - 1; ++i)
            ASSERT_EQ(m_store.write_file(0, songs[0].data(), geometry().unit_size, nullptr),
                      LOOPER_RESULT_OK);
        store_song(0, songs[0]);
        if (GetParam().kind != EMoveKind::MOVE)
            store_song(1, songs[1]);
        pedal().clear_command_log();
    }
    ELooperActionResult run()
    {
        switch (GetParam().kind) {
            case EMoveKind::MOVE:
                return m_store.move_record(0, 2);
            case EMoveKind::DIRECT_SWAP:
                return m_store.swap_records(0, 1);
            case EMoveKind::SWAP_THROUGH_FREE:
                break;
        }
        for (const auto& [from, to] : {std::pair{0u, 2u}, {1u, 0u}, {2u, 1u}}) {
            const ELooperActionResult moved = m_store.move_record(from, to);
            if (moved != LOOPER_RESULT_OK)
                return moved;
        }
        return LOOPER_RESULT_OK;
    }
    size_t song_count() const { return GetParam().kind == EMoveKind::MOVE ? 1 : 2; }
    // The slots among the first three that read back each song whole.
    std::vector<std::vector<unsigned>> places()
    {
        std::vector<std::vector<unsigned>> found(song_count());
        for (unsigned slot = 0; slot < 3; ++slot)
            for (size_t song = 0; song < song_count(); ++song)
                if (read_song(slot) == stored_form(songs[song], PULSE_RING))
                    found[song].push_back(slot);
        return found;
    }
    // A song of a block and a half: a chain of two blocks.
    const std::vector<Bytes> songs{song_bytes(BLOCK_AUDIO * 3 / 2, 1), song_bytes(BLOCK_AUDIO + 900, 2)};
};

TEST_P(SongMovePowerCutTest, EverySongStaysWholeInOneSlot)
{
    prepare();
    ASSERT_EQ(run(), LOOPER_RESULT_OK);
    std::vector<SPedalCommandRecord> operations;
    for (const SPedalCommandRecord& entry : commands())
        if (entry.command == CMD_ERASE || entry.command == CMD_WRITE)
            operations.push_back(entry);
    for (const SPedalCommandRecord& entry : operations)
        ASSERT_GE(entry.address / geometry().block_size, geometry().song_blocks)
            << "an audio block was changed";
    const bool swap = GetParam().kind != EMoveKind::MOVE;
    // Slot 2 is the move's target and the empty slot a swap passes through.
    const std::vector<unsigned> allowed[2] = {{0, swap ? 1u : 2u, 2}, {1, 0, 2}};

    for (size_t cut = 1; cut <= operations.size(); ++cut) {
        for (const SCutEffect& effect : EFFECTS) {
            if (operations[cut - 1].command != CMD_WRITE && effect.written != 0)
                continue;
            for (const bool journal : {true, false}) {
                if (!journal && GetParam().kind == EMoveKind::DIRECT_SWAP)
                    continue;
                SCOPED_TRACE(std::string(journal ? "with" : "without") + " the journal, power cut (" +
                             effect.name + ") at flash operation " + std::to_string(cut));
                prepare();
                quick_timeouts();
                const uint32_t written = effect.written > 0   ? uint32_t(effect.written)
                                         : effect.written < 0 ? operations[cut - 1].length - 1
                                                              : HALF_OF_THE_WRITE;
                pedal().cut_power_at_flash_operation(unsigned(cut), effect.effect, written);
                EXPECT_NE(run(), LOOPER_RESULT_OK);
                reconnect();
                m_store.set_journal(journal ? &m_journal : nullptr);
                // Without the journal a source's erase cut short stays a damaged slot.
                const ELooperActionResult loaded = m_store.load_song_info();
                EXPECT_TRUE(loaded == LOOPER_RESULT_OK ||
                            (!journal && loaded == LOOPER_RESULT_CHECKSUM_ERROR))
                    << loaded;
                const std::vector<std::vector<unsigned>> found = places();
                for (size_t song = 0; song < found.size(); ++song) {
                    ASSERT_FALSE(found[song].empty()) << "song " << song << " was lost";
                    EXPECT_TRUE(!journal || found[song].size() == 1) << "song " << song << " in two slots";
                    for (unsigned slot : found[song])
                        EXPECT_NE(std::find(allowed[song].begin(), allowed[song].end(), slot),
                                  allowed[song].end());
                }
                if (journal) {
                    EXPECT_TRUE(CSongJournal(m_journal).entries().empty());
                    continue;
                }
                for (size_t song = 0; song < found.size(); ++song) {
                    if (found[song].size() < 2)
                        continue;
                    // A new song offered the deleted slot's blocks first must not get them.
                    BlockStatus blocks;
                    m_store.get_file_block_status_table(found[song][0], blocks);
                    ASSERT_EQ(m_store.delete_file(found[song][0]), LOOPER_RESULT_OK);
                    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
                    unsigned first = 0;
                    while (!blocks.test(first))
                        ++first;
                    m_store.set_random_source([first] { return first; });
                    const Bytes next = song_bytes(2 * BLOCK_AUDIO, 9);
                    ASSERT_EQ(m_store.write_file(29, next.data(), unsigned(next.size()), nullptr),
                              LOOPER_RESULT_OK);
                    EXPECT_TRUE(read_song(found[song][1]) == stored_form(songs[song], PULSE_RING));
                    m_store.set_random_source({});
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, SongMovePowerCutTest,
                         ::testing::Values(SMoveCutCase{"Move", EMoveKind::MOVE},
                                           SMoveCutCase{"SwapThroughAFreeSlot", EMoveKind::SWAP_THROUGH_FREE},
                                           SMoveCutCase{"DirectSwapFullInfoBlock", EMoveKind::DIRECT_SWAP}),
                         [](const ::testing::TestParamInfo<SMoveCutCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
