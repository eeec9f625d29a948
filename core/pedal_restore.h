#pragma once

#include "core/operation_result.h"

class CPedalSession;
class CTask;
struct SRestorePlan;

// Runs a checked restore (restore_plan.h): emptied slots are emptied first, then each song
// goes through the store's journaled write, is read back and compared byte for byte when
// `verify` is set, and the slot is reloaded before the next. Stops at the first slot that
// fails or at a cancel; a slot whose write did not finish keeps its old song. The detail
// lists every slot: restored, emptied, failed or not restored.
[[nodiscard]] COperationResult restore_pedal(CPedalSession& session, const SRestorePlan& plan, CTask* task,
                                             bool verify = true);
