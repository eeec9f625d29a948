#pragma once

#include "songs/looper_action_result.h"

#include <QString>
#include <QStringList>

// How an operation of the program ended, with the texts the user is shown: first the
// notes, each a message of its own in the order they arose (a bad reply from the pedal, the
// firmware step that failed), then the text with its detail under it. Song commands carry
// the store's ELooperActionResult with its own texts; a firmware update ends as
// "Successful!" or "Failed!" after the notes that say why; an audio file that could not be
// converted or written reads "Failed !", as no song code says so.
class COperationResult {
public:
    enum class EKind { SONG, FIRMWARE, AUDIO, CANCELLED, SUMMARY, VERIFY, DECLINED, LIBRARY };

    static COperationResult song(ELooperActionResult result);
    // A song store's result, its cancel as cancelled().
    static COperationResult from_store(ELooperActionResult result);
    // A song store's write, its journal not saved with the store's `journal_problem`.
    static COperationResult from_write(ELooperActionResult result, const QString& journal_problem);
    static COperationResult firmware(bool ok);
    // `text` replaces "Failed !" where the reason is one the user can act on.
    static COperationResult audio_failed(const QString& text = {});
    static COperationResult cancelled();
    // A command summed up by its text (a backup, a restore, a sync, a move); the slots in
    // the detail.
    static COperationResult summary(bool ok, const QString& text);
    // `slot` (0-based) was written but read back different: a failure, whatever the write
    // said. "Verify failed: the pedal returned different data for Song 004".
    static COperationResult verify_failed(unsigned int slot);
    // A change of what the song library keeps (a name), with the sentence that tells it.
    static COperationResult library(bool ok, const QString& text);
    // The user answered No to the operation's question: nothing changed, and there is
    // nothing to tell beyond that.
    static COperationResult declined();

    EKind kind() const { return m_kind; }
    bool ok() const;
    // The song store's result; LOOPER_RESULT_OK for any other kind that succeeded.
    ELooperActionResult song_result() const { return m_song; }
    QString text() const;
    // A second line under the text, with the numbers behind it; empty when none.
    const QString& detail() const { return m_detail; }
    // Messages that come before the text, in order.
    const QStringList& notes() const { return m_notes; }
    COperationResult with_detail(const QString& detail) const;
    // This result as told once the MIDI service stopped under the work: a failure of work
    // on the pedal is LOOPER_RESULT_MIDI_SERVICE_STOPPED, its detail and notes kept, since
    // the step it failed in only met the service's end. A success, a cancel, a declined
    // question and the failures of files and of the library stay as they are.
    COperationResult after_midi_service_stopped() const;
    // `notes` placed before the notes the result has.
    COperationResult with_notes_before(const QStringList& notes) const;

private:
    COperationResult(EKind kind, ELooperActionResult song, bool ok, QString text);

    EKind m_kind;
    ELooperActionResult m_song;
    bool m_ok;
    QString m_text;
    QString m_detail;
    QStringList m_notes;
};
