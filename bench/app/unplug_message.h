#pragma once

class CResultPrompt;
class CPedalEmulator;

// Seconds from an unplug of `pedal` (a PULSE RING, plugged) in the middle of a firmware
// update through the window to the update's first message. The pedal takes the first
// write of a 768 KiB package and its ports vanish without a reply; it is plugged in
// again afterwards.
double seconds_to_message_after_unplug(CPedalEmulator& pedal, CResultPrompt& prompt);
