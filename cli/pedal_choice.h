#pragma once

class CPedalSession;
struct SCliContext;

// Opens the pedal --port names (a name, or a number from 'ports'), or else the one pedal
// in update mode, and reads its slots; the exit code (3 when there is none, 2 when several
// need --port, 1 when its slots could not be read).
[[nodiscard]] int open_chosen_pedal(SCliContext& context, CPedalSession& session);
