#include "backup_pedal.h"

#include <algorithm>

namespace {

enum class EInterrupt { CANCEL, UNPLUG, POWER_CUT, POWER_CUT_HALF };

struct SInterruptCase {
    EInterrupt kind;
    // CANCEL: the progress change (from 1); UNPLUG: the write command; POWER_CUT: the
    // flash operation (erase or write) at which the restore is cut short.
    unsigned at;
};

// A restore from songs B onto a pedal holding songs A, stopped at one point: slot 0 is
// overwritten, slot 1 written into an empty slot, slot 2 overwritten with a shorter song,
// slot 5 emptied. Each slot must afterwards hold A or B, never a mixture or garbage.
class RestoreInterrupt : public PedalBackup, public ::testing::WithParamInterface<SInterruptCase> {};

std::string case_name(const ::testing::TestParamInfo<SInterruptCase>& info)
{
    static const char* const kinds[] = {"Cancel", "Unplug", "PowerCut", "PowerCutHalf"};
    return std::string(kinds[int(info.param.kind)]) + "At" + std::to_string(info.param.at);
}

}  // namespace

TEST_P(RestoreInterrupt, LeavesEverySlotOldOrRestored)
{
    const QString folder = backup({{0, noise(300000, 1)}, {1, noise(5000, 2)}, {2, noise(600000, 3)}});
    const Songs restored = stored_songs();
    ASSERT_TRUE(delete_song(m_session, 1, m_yes).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    store({{0, noise(260000, 4)}, {2, noise(9000, 5)}, {5, noise(4000, 6)}});
    const Songs old = stored_songs();
    quick_timeouts();

    CTask task;
    std::unique_ptr<CCancelAtStep> cancel;
    switch (GetParam().kind) {
        case EInterrupt::CANCEL:
            cancel = std::make_unique<CCancelAtStep>(task, *m_pedal, int(GetParam().at));
            break;
        case EInterrupt::UNPLUG:
            m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::UNPLUG_BEFORE, kWrite, GetParam().at));
            break;
        case EInterrupt::POWER_CUT:
        case EInterrupt::POWER_CUT_HALF:
            m_pedal->cut_power_at_flash_operation(GetParam().at, GetParam().kind == EInterrupt::POWER_CUT
                                                                     ? EPowerCutEffect::NOT_DONE
                                                                     : EPowerCutEffect::PARTLY_DONE);
            break;
    }
    const COperationResult result = restore(folder, &task);
    EXPECT_FALSE(result.ok()) << "the restore ran to its end before the interruption";
    if (GetParam().kind == EInterrupt::CANCEL) {
        EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
        EXPECT_EQ(command_count(), cancel->commands_at_cancel);
    }
    EXPECT_TRUE(result.detail().contains("not restored") || result.detail().contains("failed"))
        << result.detail().toStdString();

    reconnect();
    const Songs after = stored_songs();
    for (unsigned slot : {0u, 1u, 2u, 5u}) {
        SCOPED_TRACE(slot);
        const auto now = after.find(slot);
        const bool is_old =
            old.count(slot) ? now != after.end() && now->second == old.at(slot) : now == after.end();
        const bool is_restored = restored.count(slot) ? now != after.end() && now->second == restored.at(slot)
                                                      : now == after.end();
        EXPECT_TRUE(is_old || is_restored);
    }
    // The pedal takes the restore again and ends with the backup's songs.
    const COperationResult again = restore(folder);
    ASSERT_TRUE(again.ok()) << again.text().toStdString();
    ASSERT_TRUE(loads());
    EXPECT_EQ(stored_songs(), restored);
}

// The restore runs in the order that needs least room: slot 5 emptied (flash operation 1),
// slot 0 (2 blocks: 2-79, its record last), slot 2 (3 blocks: 80-232), slot 1 (233-236).
// The cuts fall on erases, pages and records, on the first and the last slot.
INSTANTIATE_TEST_SUITE_P(
    Points, RestoreInterrupt,
    ::testing::Values(SInterruptCase{EInterrupt::CANCEL, 1}, SInterruptCase{EInterrupt::CANCEL, 4},
                      SInterruptCase{EInterrupt::CANCEL, 20}, SInterruptCase{EInterrupt::CANCEL, 60},
                      SInterruptCase{EInterrupt::UNPLUG, 1}, SInterruptCase{EInterrupt::UNPLUG, 3},
                      SInterruptCase{EInterrupt::UNPLUG, 40}, SInterruptCase{EInterrupt::UNPLUG, 80},
                      SInterruptCase{EInterrupt::UNPLUG, 150}, SInterruptCase{EInterrupt::POWER_CUT, 1},
                      SInterruptCase{EInterrupt::POWER_CUT, 2}, SInterruptCase{EInterrupt::POWER_CUT, 40},
                      SInterruptCase{EInterrupt::POWER_CUT, 79}, SInterruptCase{EInterrupt::POWER_CUT, 80},
                      SInterruptCase{EInterrupt::POWER_CUT, 150}, SInterruptCase{EInterrupt::POWER_CUT, 232},
                      SInterruptCase{EInterrupt::POWER_CUT_HALF, 1},
                      SInterruptCase{EInterrupt::POWER_CUT_HALF, 2},
                      SInterruptCase{EInterrupt::POWER_CUT_HALF, 79},
                      SInterruptCase{EInterrupt::POWER_CUT_HALF, 150},
                      SInterruptCase{EInterrupt::POWER_CUT_HALF, 232}),
    case_name);
