#pragma once

#include "core/operation_result.h"

#include <map>
#include <vector>

class CPedalSession;
class CQuestions;
class CTask;

// Songs moved between slots by their info records alone: no audio page is read or written,
// so a step takes well under a second whatever the song's length. Slots are 0-based; each
// command runs on a worker, reloads the slots it changed, and moves what the song library
// knows of each song (name, source, settings, loudness, overview) along with it. A pedal
// of the older slot format, or with one slot, has nothing to arrange: refused, with why.

// Moves the song of `from` into `to`. Into an empty slot it is one move; into a slot that
// holds a song it is a swap, made once `questions` said yes.
[[nodiscard]] COperationResult move_song(CPedalSession& session, int from, int to, CQuestions& questions,
                                         CTask* task);
// Gives each of the two slots the other's song (a move when one is empty): three moves
// through an empty slot where the pedal has one, each safe on any computer; otherwise a
// direct swap under the song journal, which this computer's next load finishes or undoes
// after a cut.
[[nodiscard]] COperationResult swap_songs(CPedalSession& session, int a, int b, CTask* task);

// Moves the song of each key slot into its value slot, as the fewest steps: a song whose
// target is empty (or emptied by an earlier step) is moved; a ring of songs taking each
// other's places is turned through an empty slot of the pedal (one move per song and one
// more), or without one by direct swaps (one fewer than the songs). Each target must be
// empty or itself a key. The task steps per move or swap and cancels between them. Whatever
// the end, every song is in one slot and the detail tells where each moved one is: "Song 001:
// Intro jam (was Song 003)".
[[nodiscard]] COperationResult arrange_slots(CPedalSession& session, const std::map<int, int>& targets,
                                             CTask* task);
// The slots of `order`, sorted, take the songs of `order`'s slots in turn: {3, 1, 2} (0-based
// 2, 0, 1) puts the song of slot 3 first, those of 1 and 2 after it. Each slot listed once.
[[nodiscard]] COperationResult arrange(CPedalSession& session, const std::vector<int>& order, CTask* task);
