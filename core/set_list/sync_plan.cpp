#include "core/set_list/sync_plan.h"

#include "audio/loudness_target.h"
#include "audio/song_audio.h"
#include "audio/song_time_text.h"
#include "core/link_speed.h"
#include "core/pedal_session.h"
#include "core/song_commands/slot_blocks.h"
#include "core/song_commands/song_records.h"
#include "core/song_commands/song_settings.h"
#include "library/cached_file_hash.h"
#include "library/song_library.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/task.h"

#include <QFileInfo>
#include <algorithm>
#include <map>
#include <set>

namespace {

QString list_name(const SSetListSong& song)
{
    return song.title.isEmpty() ? imported_song_name(song.path) : song.title;
}

// The song library's rows of the songs the pedal's slots hold now, by slot.
std::map<unsigned int, SLibrarySong> songs_on_pedal(const CPedalSession& session)
{
    std::map<unsigned int, SLibrarySong> found;
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot)
        if (std::optional<SLibrarySong> known = known_song(session, int(slot)))
            found.emplace(slot, std::move(*known));
    return found;
}

// The library's `known` song is the file with SHA-256 `sha256` imported with `settings`.
bool is_file(const CPedalSession& session, const SLibrarySong& known, const QString& sha256,
             const SImportSettings& settings)
{
    return !known.source_sha256.isEmpty() && known.source_sha256 == sha256 &&
           known.mono_mode == recorded_mono_mode(session.song_format(), settings.mono_mode) &&
           known.loudness_setting == QLatin1String(loudness_target_name(settings.loudness));
}

// What the list's songs find on the pedal: the slots that hold their own list song already
// (`current`), and for the others the slot each is moved from, if one holds it.
struct SOnPedal {
    std::set<unsigned int> current;
    std::map<unsigned int, unsigned int> moved_from;
};

SOnPedal find_on_pedal(CPedalSession& session, const std::map<unsigned int, const SSetListSong*>& listed,
                       const SImportSettings& settings)
{
    const std::map<unsigned int, SLibrarySong> on_pedal = songs_on_pedal(session);
    std::map<unsigned int, QString> hashes;
    for (const auto& [slot, song] : listed)
        if (QFileInfo(song->path).isFile())
            hashes[slot] = cached_file_sha256(session.library(), song->path);
    SOnPedal found;
    for (const auto& [slot, sha256] : hashes) {
        const auto known = on_pedal.find(slot);
        if (known != on_pedal.end() && is_file(session, known->second, sha256, settings))
            found.current.insert(slot);
    }
    std::set<unsigned int> taken = found.current;
    for (const auto& [slot, sha256] : hashes) {
        if (found.current.count(slot))
            continue;
        for (const auto& [held_in, known] : on_pedal) {
            if (!taken.count(held_in) && is_file(session, known, sha256, settings)) {
                found.moved_from[slot] = held_in;
                taken.insert(held_in);
                break;
            }
        }
    }
    return found;
}

// Why `song` is written over what its slot holds, once the plan found it neither there nor
// in another slot: the very file (its SHA-256 recorded) then differs only in its settings.
ESyncReason reason_to_write(CPedalSession& session, const SSetListSong& song)
{
    if (!session.slot_holds_song(int(song.slot)))
        return ESyncReason::NEW;
    const std::optional<SLibrarySong> known = known_song(session, int(song.slot));
    if (!known || known->source_sha256.isEmpty())
        return ESyncReason::OTHER_SONG;
    if (known->source_sha256 == cached_file_sha256(session.library(), song.path))
        return ESyncReason::SETTINGS;
    return QFileInfo(known->source_path) == QFileInfo(song.path) ? ESyncReason::FILE_CHANGED
                                                                 : ESyncReason::OTHER_SONG;
}

SSyncStep write_step(CPedalSession& session, const SSetListSong& song, const SImportSettings& settings,
                     CTask* task, QStringList& refused)
{
    SSyncStep step;
    step.action = ESyncAction::WRITE;
    step.reason = reason_to_write(session, song);
    step.slot = song.slot;
    step.name = list_name(song);
    step.path = song.path;
    const COperationResult converted = check_for_pedal(session, song.path, settings, task, step.checked);
    if (converted.ok())
        step.song_bytes = step.checked.check.converted_bytes;
    else
        refused << QStringLiteral("%1 (%2): %3")
                       .arg(slot_song_name(song.slot), step.name,
                            (QStringList{converted.text()} << converted.detail())
                                .join(QLatin1Char(' '))
                                .trimmed());
    return step;
}

// Counts the blocks in the order the sync runs: emptied slots first, then the writes in
// slot order, each needing its new blocks while it still holds its old ones.
void check_room(const CPedalSession& session, const SSyncPlan& plan, QStringList& refused)
{
    if (!session.songs().is_block_status_complete()) {
        refused << QStringLiteral(
            "A slot of the pedal could not be read, so its free space is not known. Reconnect it and try "
            "again.");
        return;
    }
    // The moves run after the deletes: a target whose song moves nowhere is emptied for its
    // new one, and a slot a song moved out of holds nothing when it is written.
    std::set<unsigned int> sources;
    for (const SSyncStep& step : plan.steps)
        if (step.action == ESyncAction::MOVE)
            sources.insert(step.from_slot);
    uint64_t free_now = free_blocks(session);
    for (const SSyncStep& step : plan.steps)
        if (step.action == ESyncAction::DELETE ||
            (step.action == ESyncAction::MOVE && !sources.count(step.slot)))
            free_now += blocks_held(session, step.slot);
    for (const SSyncStep& step : plan.steps) {
        if (step.action != ESyncAction::WRITE || step.song_bytes == 0)
            continue;
        const uint64_t needs = blocks_for(*session.song_format(), step.song_bytes);
        if (needs > free_now)
            refused << QStringLiteral("%1 (%2) does not fit: it needs %3 blocks, %4 are free by then.")
                           .arg(slot_song_name(step.slot), step.name)
                           .arg(needs)
                           .arg(free_now);
        const uint64_t held = sources.count(step.slot) ? 0 : blocks_held(session, step.slot);
        free_now = free_now + held - std::min(free_now, needs);
    }
}

// "Intro jam (intro.wav)": the song as the plan's lines and table name it.
QString song_text(const SSyncStep& step)
{
    QStringList parts;
    if (!step.name.isEmpty())
        parts << step.name;
    if (!step.path.isEmpty())
        parts << QStringLiteral("(%1)").arg(QFileInfo(step.path).fileName());
    if (step.action == ESyncAction::MOVE)
        parts << QStringLiteral("from ") + slot_song_name(step.from_slot);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

const char* sync_action_text(ESyncAction action)
{
    switch (action) {
        case ESyncAction::WRITE:
            return "write";
        case ESyncAction::UP_TO_DATE:
            return "up to date";
        case ESyncAction::DELETE:
            return "delete";
        case ESyncAction::MOVE:
            return "move";
        case ESyncAction::KEEP:
            break;
    }
    return "keep";
}

const char* sync_reason_text(ESyncReason reason)
{
    switch (reason) {
        case ESyncReason::NEW:
            return "new";
        case ESyncReason::FILE_CHANGED:
            return "the file changed";
        case ESyncReason::SETTINGS:
            return "another loudness or mono setting";
        case ESyncReason::OTHER_SONG:
            return "another song was in the slot";
        case ESyncReason::MOVED:
            return "moved";
        case ESyncReason::NONE:
            break;
    }
    return "";
}

QString sync_settings_text(const CPedalSession& session, const SImportSettings& settings,
                           ESettingsOrigin origin)
{
    const QString from = origin == ESettingsOrigin::WINDOW ? QStringLiteral("the window's settings")
                                                           : QStringLiteral("the command line's options");
    const QString loudness = loudness_target_text(settings.loudness);
    if (recorded_mono_mode(session.song_format(), settings.mono_mode).isEmpty())
        return QStringLiteral("Loudness: %1 (%2).").arg(loudness, from);
    return QStringLiteral("Loudness: %1; mono: %2 (%3).")
        .arg(loudness, QLatin1String(mono_mode_text(settings.mono_mode)), from);
}

uint64_t SSyncPlan::write_bytes() const
{
    uint64_t bytes = 0;
    for (const SSyncStep& step : steps)
        bytes += step.action == ESyncAction::WRITE ? step.song_bytes : 0;
    return bytes;
}

size_t SSyncPlan::moves() const
{
    return size_t(std::count_if(steps.begin(), steps.end(),
                                [](const SSyncStep& step) { return step.action == ESyncAction::MOVE; }));
}

QStringList SSyncPlan::lines() const
{
    QStringList lines;
    for (const SSyncStep& step : steps) {
        QString line = QStringLiteral("%1 %2").arg(QLatin1String(sync_action_text(step.action)),
                                                   slot_song_name(step.slot));
        if (const QString song = song_text(step); !song.isEmpty())
            line += QStringLiteral(": ") + song;
        if (step.reason != ESyncReason::NONE)
            line += QStringLiteral(" [%1]").arg(QLatin1String(sync_reason_text(step.reason)));
        lines << line;
    }
    const uint64_t bytes = write_bytes();
    QString time = bytes == 0
                       ? QStringLiteral("Nothing to write.")
                       : QStringLiteral("Writing %1 takes about %2, estimated from the link's typical speed.")
                             .arg(megabytes_text(bytes), time_text(double(bytes) / kSongLinkBytesPerSecond));
    // A move writes one info record and erases one info block, whatever the song's length.
    if (const size_t count = moves())
        time += QStringLiteral(" Moving %1 %2 takes about %3.")
                    .arg(count)
                    .arg(count == 1 ? QStringLiteral("song") : QStringLiteral("songs"))
                    .arg(time_text(double(count) * kSongMoveSeconds));
    lines << time;
    return lines;
}

SQuestionTable SSyncPlan::table() const
{
    SQuestionTable table{
        {QStringLiteral("Slot"), QStringLiteral("Action"), QStringLiteral("Song"), QStringLiteral("Why")},
        {}};
    for (const SSyncStep& step : steps)
        table.rows.push_back({slot_song_name(step.slot), QLatin1String(sync_action_text(step.action)),
                              song_text(step), QLatin1String(sync_reason_text(step.reason))});
    return table;
}

SSyncPlan plan_sync(CPedalSession& session, const std::vector<SSetListSong>& songs,
                    const SImportSettings& settings, bool delete_extra, CTask* task)
{
    SSyncPlan plan;
    if (!session.song_format()) {
        plan.refused << QStringLiteral("This pedal keeps no songs.");
        return plan;
    }
    const unsigned int count = session.songs().slot_count();
    std::map<unsigned int, const SSetListSong*> listed;
    for (const SSetListSong& song : songs) {
        if (song.slot >= count)
            plan.refused << QStringLiteral("%1: this pedal has slots 1 to %2, not %3.")
                                .arg(QFileInfo(song.path).fileName())
                                .arg(count)
                                .arg(song.slot + 1);
        else
            listed[song.slot] = &song;
    }
    const unsigned int last_listed = listed.empty() ? 0 : listed.rbegin()->first;
    const SOnPedal on_pedal = find_on_pedal(session, listed, settings);
    std::set<unsigned int> sources;
    for (const auto& [slot, from] : on_pedal.moved_from)
        sources.insert(from);
    for (unsigned int slot = 0; slot < count && !task_cancelled(task); ++slot) {
        const auto song = listed.find(slot);
        const auto moved = on_pedal.moved_from.find(slot);
        if (song != listed.end()) {
            // Reading a pipe's tags, hash or sound would wait for a writer that may never come.
            if (!QFileInfo(song->second->path).isFile())
                plan.refused << QStringLiteral("%1: %2 is not a regular file.")
                                    .arg(slot_song_name(slot), QFileInfo(song->second->path).fileName());
            else if (on_pedal.current.count(slot))
                plan.steps.push_back(
                    {ESyncAction::UP_TO_DATE, slot, list_name(*song->second), song->second->path});
            else if (moved != on_pedal.moved_from.end())
                plan.steps.push_back({ESyncAction::MOVE, slot, list_name(*song->second), song->second->path,
                                      0, SCheckedFile{}, ESyncReason::MOVED, moved->second});
            else
                plan.steps.push_back(write_step(session, *song->second, settings, task, plan.refused));
        } else if (session.slot_holds_song(int(slot)) && !sources.count(slot)) {
            const bool deletes = delete_extra && slot > last_listed;
            plan.steps.push_back({deletes ? ESyncAction::DELETE : ESyncAction::KEEP,
                                  slot,
                                  known_name(session, int(slot)),
                                  {}});
        }
    }
    if (task_cancelled(task))
        plan.refused << COperationResult::cancelled().text();
    else if (plan.runs())
        check_room(session, plan, plan.refused);
    return plan;
}
