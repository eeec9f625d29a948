#pragma once

#include "core/questions.h"
#include "core/set_list/set_list.h"
#include "core/song_commands/song_operations.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class CPedalSession;
class CTask;

// What a set list's sync does with one slot.
enum class ESyncAction {
    WRITE,       // the list's file goes in
    UP_TO_DATE,  // the slot holds that file already, imported with the same settings
    KEEP,        // a song the list does not replace, left alone
    DELETE,      // a song past the list, emptied as asked
    MOVE,        // the slot `from_slot` holds that file already: its song is moved, not written
};
// "write", "up to date", "keep", "delete", "move": how a plan line begins.
const char* sync_action_text(ESyncAction action);

// Why a step changes its slot.
enum class ESyncReason {
    NONE,          // it does not: up to date, kept or deleted
    NEW,           // the slot is empty
    FILE_CHANGED,  // the slot holds an earlier state of the list's file
    SETTINGS,      // the slot holds the very file, imported with another loudness or mono setting
    OTHER_SONG,    // the slot holds another song, or one the library does not know
    MOVED,         // the song is on the pedal in another slot
};
// "new", "the file changed", ...; empty for NONE.
const char* sync_reason_text(ESyncReason reason);

// Where the settings of a sync come from, which its plan names.
enum class ESettingsOrigin {
    WINDOW,
    COMMAND_LINE,
};

struct SSyncStep {
    ESyncAction action = ESyncAction::KEEP;
    unsigned int slot = 0;  // 0-based
    // The song's name: the list's title, the file's title tag or its file name; for KEEP and
    // DELETE the name the library knows, if any.
    QString name;
    QString path;             // the list's file; empty for KEEP and DELETE
    uint64_t song_bytes = 0;  // WRITE: the song as it goes to the pedal
    // WRITE: what the plan's check learned of the file, which its write takes.
    SCheckedFile checked{};
    ESyncReason reason = ESyncReason::NONE;
    unsigned int from_slot = 0;  // MOVE: the slot the song is in now, 0-based
};

// A sync checked as a whole before its first write.
struct SSyncPlan {
    std::vector<SSyncStep> steps;  // in slot order; writes run in this order
    // A line per song the pedal cannot take (not audio, too long, no such slot, no room in
    // write order): empty when the plan can run.
    QStringList refused;

    bool runs() const { return refused.isEmpty(); }
    uint64_t write_bytes() const;
    size_t moves() const;
    // A line per step ("write Song 001: Intro jam (intro.wav) [new]", "move Song 002: Outro
    // (outro.wav) from Song 005 [moved]"), then the time the writes and the moves take.
    QStringList lines() const;
    // The steps in columns: slot, action, song, why.
    SQuestionTable table() const;
};

// The settings a sync of the session's pedal takes and where they come from: "Loudness:
// −16 LUFS; mono: Left channel (the window's settings)." A stereo pedal has no mono setting.
QString sync_settings_text(const CPedalSession& session, const SImportSettings& settings,
                           ESettingsOrigin origin);

// Plans the sync of `songs` onto the session's pedal with `settings`. A slot is up to date
// when the library says it holds the very file (the same SHA-256, cached by path, size and
// modification time) imported with the same mono and loudness settings, and the slot's
// fingerprint is the one recorded. A song of the list that another slot holds so (and that
// slot's own list song is not there already) is moved from it, by its record: a reordered
// list writes nothing, and a slot a song moves out of holds no song of its own any more.
// Every file to write is read once to check it and learn its size, loudness and gain, which its write takes;
// the room is counted in write order, emptied slots first, each rewritten slot keeping its old blocks until
// its new song is in. Songs past the list's last slot are kept, or deleted with `delete_extra`. Each write
// says why the slot is written. Checking may take long: the task steps and cancels it (a cancelled plan is
// refused).
SSyncPlan plan_sync(CPedalSession& session, const std::vector<SSetListSong>& songs,
                    const SImportSettings& settings, bool delete_extra, CTask* task);
