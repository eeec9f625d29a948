#pragma once

#include <QString>

// "Song 004" for the 0-based `slot`: how the slot list, the reports, the backup's files and
// the pedal itself name a slot.
[[nodiscard]] QString slot_song_name(unsigned int slot);
