#include "app/song_list.h"
#include "song_page_fixture.h"

#include <QDropEvent>
#include <QScrollBar>

namespace {

struct SMoveGesture {
    const char* name;
    std::vector<unsigned> songs;  // the first, named "Intro jam", is the current line's song
    int presses;                  // of Alt+Down, or of Alt+Up when negative; 0: a drag onto `onto`
    int onto;
    bool yes;  // the answer, where a question comes
    size_t questions;
    int named_at;  // where the named song ends, the current line with it
    int other_at;  // where the second song ends
};

class SongMoveGestures : public SongPage, public ::testing::WithParamInterface<SMoveGesture> {};

}  // namespace

// Another line is selected too: the current line is the one that moves.
TEST_P(SongMoveGestures, SongAndCurrentLineEndWhereTheGestureSays)
{
    const SMoveGesture& row = GetParam();
    std::vector<std::pair<unsigned, unsigned>> stored;
    for (unsigned slot : row.songs)
        stored.push_back({slot, 19200 + 4800 * unsigned(stored.size())});
    connect_pedal(kPulseRing, stored);
    m_window->song_page().on_rename(int(row.songs[0]), "Intro jam");
    const std::vector<unsigned char> named = stored_song(row.songs[0]);
    const std::vector<unsigned char> other = stored_song(row.songs.back());
    list().setCurrentRow(int(row.songs[0]));
    list().item(9)->setSelected(true);
    m_prompt.answer_yes_no(row.yes);
    if (row.presses == 0) {
        ASSERT_TRUE(drop_on(row.onto, CSlotDrag(int(row.songs[0]))));
    }
    for (int i = 0; i < std::abs(row.presses); ++i) {
        QTest::keyClick(&list(), row.presses < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::AltModifier);
        wait_until_idle();
    }
    // A done move needs no box: the list shows it.
    EXPECT_EQ(m_prompt.shown().size(), row.questions);
    EXPECT_EQ(list().currentRow(), row.named_at);
    EXPECT_TRUE(list().item(row.named_at)->text().endsWith("  Intro jam"));
    EXPECT_EQ(stored_song(unsigned(row.named_at)), named);
    EXPECT_EQ(stored_song(unsigned(row.other_at)), other);
    EXPECT_EQ(lines().filter("(Empty)").size(), 30 - int(row.songs.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, SongMoveGestures,
    ::testing::Values(SMoveGesture{"DragOntoAnEmptyLine", {0}, 0, 4, false, 0, 4, 4},
                      SMoveGesture{"DragOntoASongAsksThenSwaps", {0, 4}, 0, 4, true, 1, 4, 0},
                      SMoveGesture{"DragOntoASongAnsweredNo", {0, 4}, 0, 4, false, 1, 0, 4},
                      SMoveGesture{"AltDownThreeTimes", {2}, 3, 0, false, 0, 5, 5},
                      SMoveGesture{"AltUpOntoASongSwapsUnasked", {4, 3}, -1, 0, false, 0, 3, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// A line onto itself, an empty line, and another program's data naming a slot (as another
// Tandora's drag arrives) move nothing; near the bottom edge a drag shows the next line.
TEST_F(SongPage, DragsThatAreNoMoveAreRefusedAndTheEdgeScrolls)
{
    connect_pedal(kPulseRing, {{0, 19200}});
    QMimeData foreign;
    foreign.setData("application/x-tandora-slot", "0");
    EXPECT_FALSE(drop_on(0, CSlotDrag(0)));
    EXPECT_FALSE(drop_on(3, CSlotDrag(1)));
    EXPECT_FALSE(drop_on(3, foreign));

    const QPoint edge(10, list().viewport()->height() - 2);
    const CSlotDrag song(0);
    ASSERT_TRUE(drag_in(edge, song));
    QDragMoveEvent move(edge, Qt::MoveAction, &song, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list().viewport(), &move);
    EXPECT_GT(list().verticalScrollBar()->value(), 0);
}

TEST_F(SongPage, OneSlotPedalSaysThereIsNothingToArrange)
{
    connect_pedal(kSmallWheel, {{0, 19200}});
    QTest::keyClick(&list(), Qt::Key_Down, Qt::AltModifier);
    wait_until_idle();
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"This pedal has one song slot: there is nothing to arrange."}));
}
