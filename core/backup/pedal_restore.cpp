#include "core/backup/pedal_restore.h"

#include "core/backup/backup_reader.h"
#include "core/backup/restore_plan.h"
#include "core/pedal_session.h"
#include "core/questions.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/task.h"

#include <QStringList>
#include <algorithm>

namespace {

// The store takes the next write only once it knows this slot's blocks. A record found
// damaged in another slot (torn by an earlier interruption) reads as empty there and does
// not stop the restore; a pedal that no longer answers does.
COperationResult reload(CPedalSession& session, unsigned int slot)
{
    const ELooperActionResult result = session.songs().reload_slot(slot);
    const bool lost = result == LOOPER_RESULT_READ_FAILED || result == LOOPER_RESULT_NOT_OPEN;
    return COperationResult::song(lost ? result : LOOPER_RESULT_OK);
}

// `from`..`to`: the step's share of the bar; a verified write and its read-back get half each.
COperationResult run_step(CPedalSession& session, const SRestorePlan& plan, const SRestoreStep& step,
                          bool verify, CTask* task, int from, int to)
{
    const QString replaced = session.slot_fingerprint(int(step.slot));
    if (step.empties) {
        const COperationResult deleted = COperationResult::song(session.songs().delete_file(step.slot));
        if (!deleted.ok())
            return deleted;
        forget_song(session, int(step.slot), replaced);
        return reload(session, step.slot);
    }
    const std::optional<QByteArray> song = read_backup_song(plan.folder, step.song);
    if (!song)
        return COperationResult::summary(
            false,
            QStringLiteral("%1 of the backup changed after it was checked.").arg(slot_song_name(step.slot)));
    const auto* data = reinterpret_cast<const unsigned char*>(song->constData());
    const auto length = static_cast<unsigned int>(song->size());
    const int half = verify ? (from + to) / 2 : to;
    if (task)
        task->set_percent_range(from, half);
    const COperationResult written = COperationResult::from_write(
        session.songs().write_file(step.slot, data, length, task), session.songs().journal_problem());
    if (!written.ok())
        return written;
    const COperationResult reloaded = reload(session, step.slot);
    if (reloaded.ok())
        record_named_song(session, int(step.slot), replaced, step.song.facts, data, length);
    if (!verify)
        return reloaded;
    if (task)
        task->set_percent_range(half, to);
    return verify_slot(session, step.slot, data, length, task);
}

}  // namespace

COperationResult restore_pedal(CPedalSession& session, const SRestorePlan& plan, CTask* task, bool verify)
{
    const uint64_t passes = verify ? 2 : 1;
    const uint64_t total = std::max<uint64_t>(plan.song_bytes() * passes, 1);
    if (task)
        task->set_bytes_total(plan.song_bytes() * passes);
    QStringList lines;
    uint64_t done = 0;
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const SRestoreStep& step = plan.steps[i];
        const uint64_t bytes = step.empties ? 0 : step.song.length * passes;
        const int from = static_cast<int>(100 * done / total);
        const int to = static_cast<int>(100 * (done + bytes) / total);
        if (task)
            task->set_part(static_cast<unsigned>(i + 1), static_cast<unsigned>(plan.steps.size()));
        done += bytes;
        const COperationResult result = task_cancelled(task)
                                            ? COperationResult::cancelled()
                                            : run_step(session, plan, step, verify, task, from, to);
        if (result.ok()) {
            lines << QStringLiteral("%1: %2").arg(slot_song_name(step.slot),
                                                  step.empties ? "emptied" : "restored");
            continue;
        }
        lines << QStringLiteral("%1: failed (%2)").arg(slot_song_name(step.slot), result.text());
        for (size_t rest = i + 1; rest < plan.steps.size(); ++rest)
            lines << QStringLiteral("%1: not restored").arg(slot_song_name(plan.steps[rest].slot));
        return result.with_detail(lines.join(QLatin1Char('\n')));
    }
    return COperationResult::summary(
               true, QStringLiteral("Restore complete: %1 slots restored.").arg(plan.steps.size()))
        .with_detail(lines.join(QLatin1Char('\n')));
}

COperationResult restore_backup(CPedalSession& session, const QString& folder,
                                const std::vector<unsigned int>& only, CQuestions& questions, CTask* task)
{
    QString why;
    const std::optional<SBackupManifest> manifest = read_backup(folder, why);
    std::optional<SRestorePlan> plan;
    if (manifest)
        plan = plan_restore(session, folder, *manifest, only, why);
    if (!plan)
        return COperationResult::summary(false, why);
    if (plan->steps.empty())
        return COperationResult::summary(
            true,
            only.empty()
                ? QStringLiteral("Nothing to restore: neither the backup nor the pedal holds a song.")
                : QStringLiteral(
                      "Nothing to restore: neither the backup nor the pedal holds a song in those slots."));
    if (!questions.ask_yes_no(QStringLiteral("Restore"), plan->question(session)))
        return COperationResult::declined();
    const COperationResult result = restore_pedal(session, *plan, task);
    static_cast<void>(session.load_songs());
    return result;
}
