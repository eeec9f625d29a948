#pragma once

#include "audio/song_audio.h"
#include "audio/song_export.h"
#include "audio/song_import.h"
#include "core/operation_result.h"

#include <QString>
#include <QStringList>
#include <vector>

class CPedalSession;
class CQuestions;
class CTask;
class QFileDevice;
struct SNandFlashConfig;
struct SSongDigest;

// How a file is taken into a song: which channel a mono pedal takes, and the loudness.
struct SImportSettings {
    EMonoMode mono_mode = EMonoMode::LEFT;
    ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE;
};

// What checking a file for the pedal learned (check_for_pedal), so that writing it reads the
// file only once more.
struct SCheckedFile {
    QString path;
    // OK: the song's bytes, its length, its loudness and, to normalise, the gain and the
    // figures it was chosen from; the song itself is not kept.
    SSongImport check;
    QString source_sha256;  // of the file when it was checked
};

// The song commands, run on a worker with a task for progress and cancel. Slots are
// 0-based. An import or a delete leaves the session's store as the pedal is afterwards:
// it reads the slot it wrote again, so the front ends only show the slots anew.

// Converts the audio file at `path` to the pedal's format and writes it into `slot`, as
// `settings` say: what a mono pedal takes of a file of more channels, and the loudness.
// The file is read twice: checked, measured and hashed first, then converted again as the
// pedal takes the song, which is never whole in memory. A gain the peaks limited is told
// under the result. A song too long for a slot is refused before anything is converted, "File too large!" with the slot's and
// the file's lengths; one the free blocks cannot take, "Space not enough!" with the free
// and the needed space. The slot's record is committed last, so a cancelled or failed
// import leaves the old song. With `verify` the slot is then read back and compared
// (verify_slot). A slot that holds a song is replaced only when `questions` say yes to the
// overwrite question, asked once the file has passed its check, so a file that would be
// refused asks nothing.
[[nodiscard]] COperationResult import_song(CPedalSession& session, const QString& path, int slot,
                                           const SImportSettings& settings, CTask* task, bool verify,
                                           CQuestions& questions);
// import_song replacing the slot's song unasked: the caller asked already, or has nothing
// to ask.
[[nodiscard]] COperationResult import_song_unasked(CPedalSession& session, const QString& path, int slot,
                                                   const SImportSettings& settings, CTask* task,
                                                   bool verify = false);

// Converts the audio file at `path` as import_song does, without writing it: OK with the
// song in `import`, or the result that refuses the file (not audio, too long for a slot).
[[nodiscard]] COperationResult convert_for_pedal(CPedalSession& session, const QString& path,
                                                 const SImportSettings& settings, CTask* task,
                                                 SSongImport& import);

// Checks the audio file at `path` as import_song would convert it, reading it once and
// keeping no song: OK with what the check learned in `file`, or the result that refuses
// the file.
[[nodiscard]] COperationResult check_for_pedal(CPedalSession& session, const QString& path,
                                               const SImportSettings& settings, CTask* task,
                                               SCheckedFile& file);
// import_song_unasked of a file check_for_pedal passed, with the same settings, reading
// it once: the gain and the hash the check learned are taken as they are. A file whose
// content changed since (another hash) is imported afresh.
[[nodiscard]] COperationResult import_checked_file(CPedalSession& session, const SCheckedFile& file, int slot,
                                                   const SImportSettings& settings, CTask* task);

// Reads `slot` back from the pedal, its record included, and compares it with the `length`
// bytes of `song` just written there (through their digest). The stored length counts whole units, so the song
// read back may end up to one unit before or after `length`; bytes past `length` must be
// the zero fill. A difference is COperationResult::verify_failed.
[[nodiscard]] COperationResult verify_slot(CPedalSession& session, unsigned int slot,
                                           const unsigned char* song, unsigned int length, CTask* task);
// The same against the digest of the bytes written, for a song no longer in memory. A
// record of whole units must give back exactly those, one that rounds up the song and zeros.
[[nodiscard]] COperationResult verify_slot(CPedalSession& session, unsigned int slot, const SSongDigest& written,
                                           CTask* task);

// Writes a song in the pedal's `format` to `file` as a 48000 Hz, 24-bit WAV file.
[[nodiscard]] bool save_song_as_wav(const SNandFlashConfig& format, const std::vector<unsigned char>& song,
                                    QFileDevice& file);

// Imports `paths` into consecutive slots from `first_slot`, which must all exist, with the
// task's part counting the files. The songs they replace are named in one question, asked
// when the first file that replaces a song has passed its check, with that file's name if it
// is cut short (shorter than its header says). A later file cut short that replaces a song
// is asked about on its own, before its song goes. A No ends the import there with a
// declined result. Otherwise a result per path, in order; once cancelled, the files not yet
// begun are "Cancelled !" too.
[[nodiscard]] std::vector<COperationResult> import_songs(CPedalSession& session, const QStringList& paths,
                                                         int first_slot, const SImportSettings& settings,
                                                         CTask* task, bool verify, CQuestions& questions);

// Reads `slot` and saves it at `path` as a 48000 Hz, 24-bit WAV file. The file is
// replaced only once it is whole: a cancelled or failed export leaves a file that was
// there as it was and creates none.
[[nodiscard]] COperationResult export_song(CPedalSession& session, int slot, const QString& path,
                                           CTask* task);

// Empties `slot` once `questions` said yes to deleting its song.
[[nodiscard]] COperationResult delete_song(CPedalSession& session, int slot, CQuestions& questions);
// Empties `slot` unasked (the caller asked already); slot 0-based and valid. The store then
// reads the slot again, and a failure of that read is the result.
[[nodiscard]] COperationResult empty_slot(CPedalSession& session, int slot);

// The question before an import replaces songs, naming them by their list lines: the
// one-song question the Import button has always asked, or one question for all of them.
QString overwrite_question(const QStringList& song_lines);
