#pragma once

#include <QString>

// Result of a song action; the window shows looper_action_result_text() for it.
enum ELooperActionResult : int {
    LOOPER_RESULT_OK = 0,
    LOOPER_RESULT_NOT_OPEN = 1,
    LOOPER_RESULT_NOT_SUPPORTED = 2,
    LOOPER_RESULT_READ_FAILED = 3,
    LOOPER_RESULT_WRITE_FAILED = 4,
    LOOPER_RESULT_CHECKSUM_ERROR = 5,
    LOOPER_RESULT_NO_SPACE = 6,
    LOOPER_RESULT_FILE_TOO_LARGE = 7,
    LOOPER_RESULT_BAD_SLOT = 8,
    LOOPER_RESULT_ERASE_FAILED = 9,
    LOOPER_RESULT_INFO_ERASE_FAILED = 10,  // reserved: no song operation returns it
    LOOPER_RESULT_FLAG_WRITE_FAILED = 11,
    // The task was cancelled; a write stopped before its info record, so the slot keeps
    // its previous song.
    LOOPER_RESULT_CANCELLED = 12,
    // The song is shorter than one storage unit, which the slot's record would store as
    // no song at all; refused before any flash command.
    LOOPER_RESULT_FILE_TOO_SHORT = 13,
    // The song journal could not note an info block erase about to begin (or the store has
    // none), so the erase was not made: the slot keeps its previous song.
    LOOPER_RESULT_JOURNAL_NOT_SAVED = 14,
    // The MIDI service the pedal's ports were opened on stopped during the action (a JACK
    // server that was stopped): no reply could come any more.
    LOOPER_RESULT_MIDI_SERVICE_STOPPED = 15,
};

// The user-facing text of a result; "Failed !" for a value outside the enumeration.
// Write failures deliberately share the read-failure text the pedal's users know.
QString looper_action_result_text(int result);
// The text of LOOPER_RESULT_JOURNAL_NOT_SAVED with why: "The song journal could not be
// saved: Is a directory. Nothing was written."
QString journal_not_saved_text(const QString& reason);
