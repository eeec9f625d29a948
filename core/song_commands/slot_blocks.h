#pragma once

#include <cstdint>

class CPedalSession;
struct SNandFlashConfig;

// The blocks of flash songs take, as the song store counts them for its old-or-new rule:
// a slot being written keeps its old blocks until its new record is in.

// Blocks a song of `length` bytes takes when written.
uint64_t blocks_for(const SNandFlashConfig& format, uint64_t length);
// Blocks the song in `slot` holds; 0 for an empty slot.
uint64_t blocks_held(const CPedalSession& session, unsigned int slot);
// Blocks no slot uses; 0 without a song format.
uint64_t free_blocks(const CPedalSession& session);
