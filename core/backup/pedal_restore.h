#pragma once

#include "core/operation_result.h"

#include <QString>
#include <vector>

class CPedalSession;
class CQuestions;
class CTask;
struct SRestorePlan;

// Runs a checked restore (restore_plan.h): emptied slots are emptied first, then each song
// goes through the store's journaled write, is read back and compared byte for byte when
// `verify` is set, and the slot is reloaded before the next. Stops at the first slot that
// fails or at a cancel; a slot whose write did not finish keeps its old song. The detail
// lists every slot: restored, emptied, failed or not restored.
[[nodiscard]] COperationResult restore_pedal(CPedalSession& session, const SRestorePlan& plan, CTask* task,
                                             bool verify = true);

// The whole restore of the backup in `folder` for the slots in `only` (0-based; empty:
// every slot): the backup is read and checked, the plan is asked once through `questions`
// (a No changes nothing), then run as restore_pedal does, and the store reads every slot
// again so it shows what the pedal now holds.
[[nodiscard]] COperationResult restore_backup(CPedalSession& session, const QString& folder,
                                              const std::vector<unsigned int>& only, CQuestions& questions,
                                              CTask* task);
