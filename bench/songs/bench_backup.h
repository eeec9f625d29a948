#pragma once

// Backup and restore of a whole pedal through core/; returns the number of failures.
//   backup MB/s, restore MB/s: song bytes per second on the instant emulator (the restore
//     verifies each slot, so it moves every byte twice);
//   backup seconds full pedal realistic link: every song block of a PULSE RING (1970
//     blocks of 64 pages of 4032 bytes, about 508 MB), estimated from a measured backup
//     of part of it over the realistic USB-MIDI link.
int run_backup_benchmarks();
