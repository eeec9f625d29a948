#include "core/song_commands/song_moves.h"

#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/questions.h"
#include "core/song_commands/song_records.h"
#include "library/library_song.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/task.h"

#include <QStringList>
#include <algorithm>
#include <optional>
#include <set>

namespace {

// A move of `a`'s song into the empty `b`, or a direct swap of the songs of `a` and `b`.
struct SMoveStep {
    bool swap = false;
    int a = 0;
    int b = 0;
};

COperationResult refused(const QString& why)
{
    return COperationResult::summary(false, why);
}

// Why the songs of `slots` cannot be moved on the session's pedal; empty when they can.
QString unmovable(const CPedalSession& session, const std::vector<int>& slots)
{
    if (!session.song_format())
        return QStringLiteral("This pedal keeps no songs.");
    const int count = int(session.songs().slot_count());
    if (count < 2)
        return QStringLiteral("This pedal has one song slot: there is nothing to arrange.");
    for (int slot : slots)
        if (slot < 0 || slot >= count)
            return QStringLiteral("This pedal has slots 1 to %1, not %2.").arg(count).arg(slot + 1);
    return {};
}

// The steps that carry out `pending` (song of key slot to value slot) from the slots'
// `occupied` state; false when a target holds a song that stays.
bool plan_steps(std::vector<bool> occupied, std::map<int, int> pending, std::vector<SMoveStep>& steps)
{
    for (auto it = pending.begin(); it != pending.end();)
        it = it->first == it->second || !occupied[size_t(it->first)] ? pending.erase(it) : std::next(it);
    // Chains first: each song whose target is empty goes, emptying its own slot for the next.
    for (bool moved = true; moved;) {
        moved = false;
        for (auto it = pending.begin(); it != pending.end();) {
            if (occupied[size_t(it->second)]) {
                ++it;
                continue;
            }
            steps.push_back({false, it->first, it->second});
            occupied[size_t(it->second)] = true;
            occupied[size_t(it->first)] = false;
            it = pending.erase(it);
            moved = true;
        }
    }
    const auto free_slot = std::find(occupied.begin(), occupied.end(), false);
    while (!pending.empty()) {
        std::vector<int> ring{pending.begin()->first};
        for (auto next = pending.find(ring.back()); next != pending.end() && next->second != ring.front();
             next = pending.find(ring.back()))
            ring.push_back(next->second);
        if (pending.find(ring.back()) == pending.end())
            return false;
        for (int slot : ring)
            pending.erase(slot);
        if (free_slot != occupied.end()) {
            const int spare = int(free_slot - occupied.begin());
            steps.push_back({false, ring.back(), spare});
            for (size_t i = ring.size() - 1; i-- > 0;)
                steps.push_back({false, ring[i], ring[i + 1]});
            steps.push_back({false, spare, ring.front()});
        } else {
            // Each swap puts one song of the ring in place; the last puts two.
            for (size_t i = 1; i < ring.size(); ++i)
                steps.push_back({true, ring.front(), ring[i]});
        }
    }
    return true;
}

// Moves the library's rows of the songs `known` (with their `records`, in slots `a` and `b`
// before the step) to wherever the step left those records.
void follow_songs(CPedalSession& session, const SMoveStep& step,
                  const std::optional<SLibrarySong> (&known)[2],
                  const std::vector<unsigned char> (&records)[2])
{
    const int slots[2] = {step.a, step.b};
    for (int i = 0; i < 2; ++i) {
        if (records[i].empty() || session.songs().slot_record(unsigned(slots[i])) == records[i])
            continue;
        const int other = slots[1 - i];
        if (session.songs().slot_record(unsigned(other)) == records[i])
            record_moved(session, known[i], other);
    }
}

COperationResult run_step(CPedalSession& session, const SMoveStep& step)
{
    CLooperSongData& songs = session.songs();
    const std::optional<SLibrarySong> known[2] = {known_song(session, step.a), known_song(session, step.b)};
    const std::vector<unsigned char> records[2] = {songs.slot_record(unsigned(step.a)),
                                                   songs.slot_record(unsigned(step.b))};
    const ELooperActionResult done = step.swap ? songs.swap_records(unsigned(step.a), unsigned(step.b))
                                               : songs.move_record(unsigned(step.a), unsigned(step.b));
    const QString journal_problem = songs.journal_problem();
    // After a failed step the store reads every slot, and the journal's entry finishes or
    // undoes the step: the library follows the songs wherever that leaves them.
    ELooperActionResult reloaded = session.reload_slot(step.b);
    if (reloaded == LOOPER_RESULT_OK && !songs.needs_full_reload())
        reloaded = session.reload_slot(step.a);
    follow_songs(session, step, known, records);
    if (done != LOOPER_RESULT_OK)
        return COperationResult::from_write(done, journal_problem);
    return COperationResult::song(reloaded);
}

// Where each song of `origins` (its record, by the slot it came from) is now: "Song 001:
// Intro jam (was Song 003)".
QString placement(CPedalSession& session, const std::map<int, std::vector<unsigned char>>& origins)
{
    QStringList lines;
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot) {
        const std::vector<unsigned char> record = session.songs().slot_record(slot);
        for (const auto& [origin, origin_record] : origins) {
            if (record.empty() || record != origin_record)
                continue;
            const QString name = known_name(session, int(slot));
            QString line = slot_song_name(slot) + (name.isEmpty() ? QString() : QStringLiteral(": ") + name);
            line += int(slot) == origin ? QStringLiteral(" (not moved)")
                                        : QStringLiteral(" (was %1)").arg(slot_song_name(unsigned(origin)));
            lines << line;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

COperationResult arrange_slots(CPedalSession& session, const std::map<int, int>& targets, CTask* task)
{
    std::vector<int> listed;
    for (const auto& [from, to] : targets)
        listed.insert(listed.end(), {from, to});
    if (const QString why = unmovable(session, listed); !why.isEmpty())
        return refused(why);
    std::set<int> taken;
    for (const auto& [from, to] : targets)
        if (!taken.insert(to).second)
            return refused(QStringLiteral("Two songs cannot go into %1.").arg(slot_song_name(unsigned(to))));
    std::vector<bool> occupied;
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot)
        occupied.push_back(session.slot_holds_song(int(slot)));
    std::vector<SMoveStep> steps;
    if (!plan_steps(occupied, targets, steps))
        return refused(QStringLiteral("A slot to move a song into holds a song that is not moved."));
    std::map<int, std::vector<unsigned char>> origins;
    for (const auto& [from, to] : targets)
        if (occupied[size_t(from)])
            origins[from] = session.songs().slot_record(unsigned(from));

    COperationResult outcome = COperationResult::summary(
        true, steps.empty()       ? QStringLiteral("Every song is in its place already.")
              : steps.size() == 1 ? QStringLiteral("Song moved in 1 step.")
                                  : QStringLiteral("Songs arranged in %1 steps.").arg(steps.size()));
    for (size_t i = 0; i < steps.size(); ++i) {
        task_step(task, i, steps.size());
        if (task_cancelled(task)) {
            outcome = COperationResult::cancelled();
            break;
        }
        const COperationResult step = run_step(session, steps[i]);
        if (!step.ok()) {
            outcome = step;
            break;
        }
    }
    if (outcome.ok())
        task_step(task, steps.size(), steps.size());
    const QString where = placement(session, origins);
    const QString detail = outcome.detail().isEmpty() ? where : outcome.detail() + QLatin1Char('\n') + where;
    return outcome.with_detail(detail);
}

COperationResult swap_songs(CPedalSession& session, int a, int b, CTask* task)
{
    if (const QString why = unmovable(session, {a, b}); !why.isEmpty())
        return refused(why);
    if (!session.slot_holds_song(a) && !session.slot_holds_song(b))
        return refused(QStringLiteral("%1 and %2 are both empty: there is nothing to swap.")
                           .arg(slot_song_name(unsigned(a)), slot_song_name(unsigned(b))));
    return arrange_slots(session, {{a, b}, {b, a}}, task);
}

COperationResult move_song(CPedalSession& session, int from, int to, CQuestions& questions, CTask* task)
{
    if (const QString why = unmovable(session, {from, to}); !why.isEmpty())
        return refused(why);
    if (!session.slot_holds_song(from))
        return refused(
            QStringLiteral("%1 is empty: there is no song to move.").arg(slot_song_name(unsigned(from))));
    if (session.slot_holds_song(to)) {
        QStringList text{QStringLiteral("%1 holds a song. Swap the songs of %2 and %1?")
                             .arg(session.songs().get_name(unsigned(to)), slot_song_name(unsigned(from))),
                         song_name_line(session, unsigned(to))};
        text.removeAll(QString());
        if (!questions.ask_yes_no(QStringLiteral("Move song"), text.join(QLatin1Char('\n'))))
            return COperationResult::declined();
        return swap_songs(session, from, to, task);
    }
    return arrange_slots(session, {{from, to}}, task);
}

COperationResult arrange(CPedalSession& session, const std::vector<int>& order, CTask* task)
{
    if (const QString why = unmovable(session, order); !why.isEmpty())
        return refused(why);
    std::vector<int> places = order;
    std::sort(places.begin(), places.end());
    if (std::adjacent_find(places.begin(), places.end()) != places.end())
        return refused(QStringLiteral("Each slot may be listed once."));
    std::map<int, int> targets;
    for (size_t i = 0; i < order.size(); ++i)
        targets[order[i]] = places[i];
    return arrange_slots(session, targets, task);
}
