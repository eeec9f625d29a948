#include "core/song_commands/song_operations.h"
#include "core_pedal.h"

#include "fake_wait_clock.h"

namespace {

using ms = std::chrono::milliseconds;

class MidiServiceStop : public CorePedal {};

// The MIDI service stops while an import waits for the pedal's answer to a block write. On a
// clock that jumps over silence, a wait the stop did not end would run to its time-out.
TEST_F(MidiServiceStop, EndsAnImportAtOnceAndSaysSo)
{
    connect(kPulseRing);
    write_tone(file("tone.wav"), 200000);
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, kWrite, 3));
    CFakeWaitClock clock;
    clock.set_settle([this] { m_pedal->wait_until_idle(); });
    clock.at(ms(40), [this] { m_midi.system.stop_service(); });
    m_session.link().port().transfer().set_clock(&clock);

    const COperationResult result =
        m_session.with_notes(import_song_unasked(m_session, file("tone.wav"), 0, SImportSettings{}, nullptr));
    m_session.link().port().transfer().set_clock(nullptr);
    EXPECT_EQ(result.text(), "The MIDI service stopped.");
    EXPECT_EQ(result.song_result(), LOOPER_RESULT_MIDI_SERVICE_STOPPED);
    EXPECT_TRUE(result.notes().isEmpty()) << result.notes().join('\n').toStdString();
    EXPECT_EQ(clock.elapsed(), ms(40));
    EXPECT_EQ(update_commands(*m_pedal, kWrite).size(), 3u) << "requests went out on a stopped service";
}

}  // namespace
