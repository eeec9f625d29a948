#include "app/song_list.h"
#include "song_page_fixture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>

namespace {

class SongMoves : public SongPage {
protected:
    // Drags `data` into the list at `at`, in its viewport; true when the list takes it.
    bool drag_in(const QPoint& at, const QMimeData& data)
    {
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list().viewport(), &enter);
        return enter.isAccepted();
    }
    // Drags `data` over the line of `slot` and, if the list takes it, drops it there and
    // waits for what the drop started once the drag has ended.
    bool drop_on(int slot, const QMimeData& data)
    {
        const QPoint at = list().visualItemRect(list().item(slot)).center();
        if (!drag_in(at, data))
            return false;
        QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list().viewport(), &drop);
        QCoreApplication::processEvents();
        wait_until_idle();
        return drop.isAccepted();
    }
    void press(Qt::Key key)
    {
        QTest::keyClick(&list(), key, Qt::AltModifier);
        wait_until_idle();
    }
    int questions() const
    {
        return int(std::count_if(m_prompt.shown().begin(), m_prompt.shown().end(),
                                 [](const auto& shown) { return shown.kind == EKind::QUESTION; }));
    }
};

struct SMoveGesture {
    const char* name;
    std::vector<unsigned> songs;  // the first is named "Intro jam" and is the one moved
    int presses;                  // of Alt+Down, or of Alt+Up when negative; 0: a drag
    int onto;                     // the line a drag ends on
    bool yes;                     // the answer, where a question comes
    int questions;
    int named_at;  // where the named song ends, the current line with it
    int other_at;  // where the second song ends
};

void PrintTo(const SMoveGesture& row, std::ostream* out)
{
    *out << row.name;
}

class SongMoveGestures : public SongMoves, public ::testing::WithParamInterface<SMoveGesture> {};

}  // namespace

// Another line is selected too: the current line is the one that moves.
TEST_P(SongMoveGestures, SongAndCurrentLineEndWhereTheGestureSays)
{
    const SMoveGesture& row = GetParam();
    std::vector<std::pair<unsigned, unsigned>> stored;
    for (unsigned slot : row.songs)
        stored.push_back({slot, 19200 + 4800 * unsigned(stored.size())});
    CPedalEmulator& pedal = connect_pedal(kPulseRing, stored);
    m_window->song_page().on_rename(int(row.songs[0]), "Intro jam");
    const std::vector<unsigned char> named = stored_song(row.songs[0]);
    const std::vector<unsigned char> other = row.songs.size() > 1 ? stored_song(row.songs[1]) : named;
    list().setCurrentRow(int(row.songs[0]));
    list().item(9)->setSelected(true);
    m_prompt.answer_yes_no(row.yes);
    pedal.clear_command_log();
    if (row.presses == 0) {
        ASSERT_TRUE(drop_on(row.onto, CSlotDrag(int(row.songs[0]))));
    }
    for (int i = 0; i < std::abs(row.presses); ++i)
        press(row.presses < 0 ? Qt::Key_Up : Qt::Key_Down);

    EXPECT_EQ(questions(), row.questions);
    EXPECT_EQ(m_prompt.messages(), QStringList());
    EXPECT_EQ(list().currentRow(), row.named_at);
    EXPECT_TRUE(list().item(row.named_at)->text().endsWith("  Intro jam"))
        << list().item(row.named_at)->text().toStdString();
    EXPECT_EQ(stored_song(unsigned(row.named_at)), named);
    if (row.songs.size() > 1) {
        EXPECT_EQ(stored_song(unsigned(row.other_at)), other);
    }
    EXPECT_EQ(lines().filter("(Empty)").size(), 30 - int(row.songs.size()));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kFlashWrite) > 0, row.named_at != int(row.songs[0]));
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, SongMoveGestures,
    ::testing::Values(SMoveGesture{"DragOntoAnEmptyLine", {0}, 0, 4, false, 0, 4, -1},
                      SMoveGesture{"DragOntoASongAsksThenSwaps", {0, 4}, 0, 4, true, 1, 4, 0},
                      SMoveGesture{"DragOntoASongAnsweredNo", {0, 4}, 0, 4, false, 1, 0, 4},
                      SMoveGesture{"AltDownThreeTimes", {2}, 3, 0, false, 0, 5, -1},
                      SMoveGesture{"AltUpOntoASongSwapsUnasked", {4, 3}, -1, 0, false, 0, 3, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// A line onto itself, an empty line's drag, and another program's data naming a slot (as
// another Tandora's drag arrives) move nothing.
TEST_F(SongMoves, DragsThatAreNoMoveAreRefused)
{
    connect_pedal(kPulseRing, {{0, 19200}});
    QMimeData foreign;
    foreign.setData("application/x-tandora-slot", "0");
    EXPECT_FALSE(drop_on(0, CSlotDrag(0)));
    EXPECT_FALSE(drop_on(3, CSlotDrag(1)));
    EXPECT_FALSE(drop_on(3, foreign));
    EXPECT_TRUE(driver().songs().is_file_exist(0));
    EXPECT_TRUE(m_prompt.shown().empty());
}

TEST_F(SongMoves, DragAtTheBottomEdgeShowsTheNextLine)
{
    connect_pedal(kPulseRing, {{0, 19200}});
    const QScrollBar& bar = *list().verticalScrollBar();
    ASSERT_GT(bar.maximum(), 0);
    const CSlotDrag data(0);
    const QPoint edge(10, list().viewport()->height() - 2);
    ASSERT_TRUE(drag_in(edge, data));
    QDragMoveEvent move(edge, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list().viewport(), &move);
    EXPECT_GT(bar.value(), 0);
}

TEST_F(SongMoves, OneSlotPedalSaysThereIsNothingToArrange)
{
    connect_pedal(kSmallWheel, {{0, 19200}});
    press(Qt::Key_Down);
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"This pedal has one song slot: there is nothing to arrange."}));
    EXPECT_TRUE(driver().songs().is_file_exist(0));
}
