#include "core/set_list/set_list_sync.h"

#include "core/pedal_session.h"
#include "core/questions.h"
#include "core/set_list/set_list.h"
#include "core/set_list/sync_plan.h"
#include "core/song_commands/song_moves.h"
#include "core/song_commands/song_records.h"
#include "library/song_library.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/task.h"

#include <QStringList>
#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <vector>

namespace {

COperationResult write_step(CPedalSession& session, const SSyncStep& step, const SImportSettings& settings,
                            CTask* task)
{
    // The writes after a delete count on the blocks it freed, which the store knows once it
    // has read the slot again, as empty_slot does.
    if (step.action == ESyncAction::DELETE)
        return empty_slot(session, int(step.slot));
    const COperationResult result =
        import_checked_file(session, step.checked, int(step.slot), settings, task);
    if (result.ok() && step.name != known_name(session, int(step.slot)))
        session.library().rename(session.product_id(), step.slot, session.slot_fingerprint(int(step.slot)),
                                 step.name);
    return result;
}

// Runs `step` on a task of its own whose bar fills `from`..`to` of `task`'s and whose bytes
// add to the plan's: the import on its own would start the bar afresh and count only its
// song, so the time left would be that of one song. A cancel of `task` is passed on.
COperationResult write_plan_step(CPedalSession& session, const SSyncStep& step,
                                 const SImportSettings& settings, CTask* task, int from, int to)
{
    if (!task)
        return write_step(session, step, settings, nullptr);
    task->set_percent_range(from, to);
    CTask part;
    // A cancel reports on the canceller's thread, hence the atomic.
    std::atomic<uint64_t> told{0};
    part.set_listener([&] {
        const STaskProgress progress = part.progress();
        if (progress.transfer_begun)
            task->begin_transfer();
        uint64_t before = told.load();
        while (progress.bytes_done > before && !told.compare_exchange_weak(before, progress.bytes_done))
            ;
        if (progress.bytes_done > before)
            task->add_bytes(progress.bytes_done - before);
        task->set_step(uint64_t(progress.percent), 100);
    });
    const CTask::CCancelWake passed_on(task, [&part] { part.cancel(); });
    if (task->cancelled())
        part.cancel();
    const COperationResult result = write_step(session, step, settings, &part);
    part.set_listener(nullptr);
    return result;
}

QString done_text(ESyncAction action)
{
    switch (action) {
        case ESyncAction::WRITE:
            return QStringLiteral("written");
        case ESyncAction::DELETE:
            return QStringLiteral("deleted");
        case ESyncAction::UP_TO_DATE:
            return QStringLiteral("up to date");
        case ESyncAction::MOVE:
            return QStringLiteral("moved");
        case ESyncAction::KEEP:
            break;
    }
    return QStringLiteral("kept");
}

// A list of thousands of files the pedal cannot take is not read to its end.
QString refusal_text(const QStringList& refused)
{
    constexpr int kShown = 20;
    QStringList shown = refused.mid(0, kShown);
    if (refused.size() > kShown)
        shown << QStringLiteral("and %1 more").arg(refused.size() - kShown);
    return shown.join(QLatin1Char('\n'));
}

bool changes(const SSyncStep& step)
{
    return step.action == ESyncAction::WRITE || step.action == ESyncAction::DELETE ||
           step.action == ESyncAction::MOVE;
}

// The plan's moves as one arrangement: a target whose song moves nowhere is emptied first
// (the list replaces it), then each song goes to its slot by its record and takes the
// list's title as its name.
COperationResult run_moves(CPedalSession& session, const SSyncPlan& plan, CTask* task)
{
    std::map<int, int> targets;
    for (const SSyncStep& step : plan.steps)
        if (step.action == ESyncAction::MOVE)
            targets[int(step.from_slot)] = int(step.slot);
    for (const auto& [from, to] : targets) {
        if (targets.count(to) || !session.slot_holds_song(to))
            continue;
        const COperationResult emptied = empty_slot(session, to);
        if (!emptied.ok())
            return emptied;
    }
    const COperationResult moved = arrange_slots(session, targets, task);
    for (const SSyncStep& step : plan.steps)
        if (moved.ok() && step.action == ESyncAction::MOVE &&
            step.name != known_name(session, int(step.slot)))
            session.library().rename(session.product_id(), step.slot,
                                     session.slot_fingerprint(int(step.slot)), step.name);
    return moved;
}

// Reads the list at `set_list` and plans its sync into `plan`: nothing when the plan runs,
// otherwise the result that says why not.
std::optional<COperationResult> plan_list(CPedalSession& session, const QString& set_list,
                                          const SSyncOptions& options, CTask* task, SSyncPlan& plan)
{
    QString why;
    const std::optional<std::vector<SSetListSong>> songs = read_set_list(set_list, options.first_slot, why);
    if (!songs)
        return COperationResult::summary(false, why);
    plan = plan_sync(session, *songs, options.settings, options.delete_extra, task);
    if (task_cancelled(task))
        return COperationResult::cancelled();
    if (!plan.runs())
        return COperationResult::summary(false,
                                        QStringLiteral("The set list cannot be synced; nothing was written."))
            .with_detail(refusal_text(plan.refused));
    return std::nullopt;
}

}  // namespace

COperationResult run_sync(CPedalSession& session, const SSyncPlan& plan, const SImportSettings& settings,
                          CTask* task)
{
    // Emptied slots go first: their blocks are the room the writes were planned with.
    std::vector<const SSyncStep*> order;
    for (const SSyncStep& step : plan.steps)
        if (changes(step))
            order.push_back(&step);
    // Then the moves, which only change records, then the writes into the room they leave.
    std::stable_sort(order.begin(), order.end(), [](const SSyncStep* a, const SSyncStep* b) {
        const auto rank = [](const SSyncStep* step) {
            return step->action == ESyncAction::DELETE ? 0 : step->action == ESyncAction::MOVE ? 1 : 2;
        };
        return rank(a) < rank(b);
    });
    if (task)
        task->set_bytes_total(plan.write_bytes());
    const uint64_t total = std::max<uint64_t>(plan.write_bytes(), 1);
    uint64_t planned = 0;
    std::vector<const SSyncStep*> done;
    COperationResult outcome = COperationResult::song(LOOPER_RESULT_OK);
    for (size_t i = 0; i < order.size() && outcome.ok(); ++i) {
        if (task)
            task->set_part(unsigned(i + 1), unsigned(order.size()));
        const uint64_t bytes = order[i]->action == ESyncAction::WRITE ? order[i]->song_bytes : 0;
        const int from = int(100 * planned / total);
        planned += bytes;
        const bool move = order[i]->action == ESyncAction::MOVE;
        if (move && i > 0 && order[i - 1]->action == ESyncAction::MOVE)
            continue;
        if (task_cancelled(task))
            outcome = COperationResult::cancelled();
        else if (move)
            outcome = run_moves(session, plan, task);
        else
            outcome = write_plan_step(session, *order[i], settings, task, from, int(100 * planned / total));
        // The moves run as one arrangement, at the first of them.
        for (const SSyncStep* step : order)
            if (outcome.ok() && (step == order[i] || (move && step->action == ESyncAction::MOVE)))
                done.push_back(step);
    }
    QStringList lines;
    size_t written = 0;
    for (const SSyncStep& step : plan.steps) {
        const bool as_planned = !changes(step) || std::find(done.begin(), done.end(), &step) != done.end();
        written += as_planned && step.action == ESyncAction::WRITE;
        lines << QStringLiteral("%1: %2").arg(
            slot_song_name(step.slot), as_planned ? done_text(step.action) : QStringLiteral("as it was"));
    }
    if (!outcome.ok()) {
        const QString detail = outcome.detail().isEmpty() ? QString() : outcome.detail() + QLatin1Char('\n');
        return outcome.with_detail(detail + lines.join(QLatin1Char('\n')));
    }
    return COperationResult::summary(
               true, QStringLiteral("Set list synced: %1 of %2 slots written.")
                         .arg(written)
                         .arg(std::count_if(plan.steps.begin(), plan.steps.end(),
                                            [](const SSyncStep& step) {
                                                return step.action == ESyncAction::WRITE ||
                                                       step.action == ESyncAction::UP_TO_DATE ||
                                                       step.action == ESyncAction::MOVE;
                                            })))
        .with_detail(lines.join(QLatin1Char('\n')));
}

COperationResult sync_set_list(CPedalSession& session, const QString& set_list, const SSyncOptions& options,
                               CQuestions& questions, CTask* task)
{
    SSyncPlan plan;
    if (const std::optional<COperationResult> failed = plan_list(session, set_list, options, task, plan))
        return *failed;
    if (std::none_of(plan.steps.begin(), plan.steps.end(), changes))
        return COperationResult::summary(true, QStringLiteral("Every song of the set list is up to date."));
    const QString asked =
        QStringLiteral("Sync the set list %1?\n%2")
            .arg(set_list, sync_settings_text(session, options.settings, options.settings_origin));
    const QStringList lines = plan.lines();
    // The table's lines in words, then the time the writes take: the plan's last line.
    if (!questions.ask_yes_no_table(QStringLiteral("Sync set list"), asked + QLatin1Char('\n') + lines.back(),
                                    plan.table(), asked + QLatin1Char('\n') + lines.join(QLatin1Char('\n'))))
        return COperationResult::declined();
    return run_sync(session, plan, options.settings, task);
}

COperationResult plan_set_list_sync(CPedalSession& session, const QString& set_list,
                                    const SSyncOptions& options, CTask* task)
{
    SSyncPlan plan;
    if (const std::optional<COperationResult> failed = plan_list(session, set_list, options, task, plan))
        return *failed;
    return COperationResult::summary(true, QStringLiteral("Sync plan for %1:").arg(set_list))
        .with_detail((QStringList{sync_settings_text(session, options.settings, options.settings_origin)}
                      << plan.lines())
                         .join(QLatin1Char('\n')));
}
