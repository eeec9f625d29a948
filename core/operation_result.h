#pragma once

#include "songs/looper_action_result.h"

#include <QString>

// How an operation of the program ended, with the text the user is shown. Song commands
// carry the store's ELooperActionResult with its own texts; a firmware update ends as
// "Successful!" or "Failed!" after its steps have shown their own reasons; an audio file
// that could not be converted or written reads "Failed !", as no song code says so.
class COperationResult {
public:
    enum class EKind { SONG, FIRMWARE, AUDIO, CANCELLED, BACKUP, VERIFY };

    static COperationResult song(ELooperActionResult result);
    static COperationResult firmware(bool ok);
    // `text` replaces "Failed !" where the reason is one the user can act on.
    static COperationResult audio_failed(const QString& text = {});
    static COperationResult cancelled();
    // A backup or a restore, with the text that sums it up; the slots in the detail.
    static COperationResult backup(bool ok, const QString& text);
    // `slot` (0-based) was written but read back different: a failure, whatever the write
    // said. "Verify failed: the pedal returned different data for Song 004".
    static COperationResult verify_failed(unsigned int slot);
    // The step that refused has already shown why (the WAV reader's own box, a file that
    // did not open); the front end shows nothing more.
    static COperationResult refused_shown();

    EKind kind() const { return m_kind; }
    bool ok() const;
    // The song store's result; LOOPER_RESULT_OK for any other kind that succeeded.
    ELooperActionResult song_result() const { return m_song; }
    QString text() const;
    // A second line under the text, with the numbers behind it; empty when none.
    const QString& detail() const { return m_detail; }
    bool already_shown() const { return m_shown; }
    COperationResult with_detail(const QString& detail) const;

private:
    COperationResult(EKind kind, ELooperActionResult song, bool ok, QString text);

    EKind m_kind;
    ELooperActionResult m_song;
    bool m_ok;
    QString m_text;
    QString m_detail;
    bool m_shown = false;
};
