#pragma once

// Moving a song by its record against rewriting it, through core/ over the realistic
// USB-MIDI link; returns the number of failures.
//   move song seconds realistic link: a 4-minute song moved into an empty slot.
//   rewrite song seconds realistic link: the same song read whole and written into another
//     slot, as an export and an import would move it.
int run_move_benchmarks();
