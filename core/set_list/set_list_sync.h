#pragma once

#include "core/operation_result.h"
#include "core/set_list/sync_plan.h"
#include "core/song_commands/song_operations.h"

#include <QString>

class CPedalSession;
class CQuestions;
class CTask;

struct SSyncOptions {
    unsigned int first_slot = 1;  // where the list's first song goes, 1-based
    bool delete_extra = false;    // empty the slots past the list
    SImportSettings settings;     // the whole set's mono and loudness settings
    ESettingsOrigin settings_origin = ESettingsOrigin::COMMAND_LINE;
};

// Carries out a plan that runs (sync_plan.h): the slots to empty first, then one write at a
// time through import_song, so each slot keeps its old song until its new record is in.
// A list title the file's own name does not match is recorded as the song's name. Stops at
// a cancel, between slots or within one, and at the first failure; the detail tells every
// planned slot as it is now: written, deleted, up to date, kept, or as it was.
[[nodiscard]] COperationResult run_sync(CPedalSession& session, const SSyncPlan& plan,
                                        const SImportSettings& settings, CTask* task);

// The sync of the set list at `set_list` (set_list.h): read, planned and checked as a whole;
// a plan with anything to change is asked once, as a table under its settings and time (a
// No changes nothing), and run. A list that does not fit, or a file the pedal cannot take,
// fails with the reasons and writes nothing.
[[nodiscard]] COperationResult sync_set_list(CPedalSession& session, const QString& set_list,
                                             const SSyncOptions& options, CQuestions& questions, CTask* task);
// The same up to the plan, which is the result's detail under its settings: nothing is
// written.
[[nodiscard]] COperationResult plan_set_list_sync(CPedalSession& session, const QString& set_list,
                                                  const SSyncOptions& options, CTask* task);
