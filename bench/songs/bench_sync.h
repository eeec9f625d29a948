#pragma once

// A set list's sync through core/; returns the number of failures.
//   sync unchanged 10 songs seconds: a second sync of a list of 10 songs already on the
//     pedal, over the realistic USB-MIDI link: the plan finds every slot up to date from the
//     library and its cached hashes, and writes nothing.
//   sync reordered 10 songs seconds: the same list reversed, over the same link: the songs
//     are moved by their records, and no song is written.
int run_sync_benchmark();
