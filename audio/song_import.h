#pragma once

#include "audio/loudness_gain.h"
#include "audio/song_audio.h"
#include "audio/song_loudness.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

class CTask;
class QIODevice;

// The Import dialog's filters.
extern const char* const kAudioFileFilter;  // "Audio Files (*.wav *.aif ... *.mp3)"
extern const char* const kWavFileFilter;    // "Wav Files(*.wav)"

enum class ESongImportResult {
    OK,
    NOT_AUDIO,  // no format Tandora reads
    NO_SOUND,   // a readable file without one whole frame
    TOO_LONG,   // the song would not fit the slot (LOOPER_RESULT_FILE_TOO_LARGE)
    CANCELLED,
    READ_ERROR,  // the file failed part-way
    OUT_OF_MEMORY,
    NOT_FINITE,  // a float sample is a NaN or an infinity
    BAD_RATE,    // a sample rate outside MIN_SOURCE_RATE..MAX_SOURCE_RATE
};
struct SSongImport {
    ESongImportResult result = ESongImportResult::NOT_AUDIO;
    // The song as the pedal stores it: 46875 Hz, 24-bit little-endian, the target's
    // channels. Empty unless OK.
    std::vector<unsigned char> song;
    // Length of the file's sound, when its header or a full decode tells it.
    std::optional<double> file_seconds;
    // Song bytes the file converts to: exact on OK, from the header when refused before
    // converting, otherwise what was produced before the conversion stopped.
    uint64_t converted_bytes = 0;
    // Source frames decoded: 0 when the file was refused from its header alone.
    uint64_t frames_decoded = 0;
    // What went wrong, in technical terms; already written to the log.
    QString detail;
    // Float samples beyond full scale, clipped to it.
    uint64_t clipped_samples = 0;
    // The file's sample rate, once its header was read (Hz).
    unsigned int file_rate = 0;
    // NOT_FINITE: where in the file the first NaN or infinity lies.
    double not_finite_seconds = 0;
    // The length the header gives, when the file ends before it (`file_seconds` is then
    // the length of the sound there is).
    std::optional<double> header_seconds;
    // On OK, the song's loudness as it goes to the pedal, after the mono choice and the
    // gain; the true peak only when normalising. Not yet measured (`loudness_measured`
    // false) after check_song_file of a file imported as it is.
    SLoudness loudness;
    bool loudness_measured = false;
    // The setting the song was imported with, and the gain it applied (none as the file).
    ELoudnessTarget loudness_target = ELoudnessTarget::AS_THE_FILE;
    SLoudnessGain gain;
    // On OK when normalising: the song's figures before the gain, from which it was chosen.
    std::optional<SLoudness> measured;
    // check_song_file on OK: the SHA-256 of the file's bytes, lower-case hex.
    QString source_sha256;
};

// Converts an audio file into a song for the slot `target` describes. RIFF/WAVE files
// go to the program's WAV reader, everything else to libsndfile. A song too long for the
// slot is refused from the header before anything is converted; a file whose header does
// not tell its length is converted until the song passes the slot's maximum. To normalise
// (`target.loudness`), the file is read twice: measured at full precision, then converted
// with the one gain that reaches the target or, where the true peak would pass -1 dBTP, the
// gain the peak allows. The task gets a step per block and may cancel between blocks.
[[nodiscard]] SSongImport import_song(const QString& path, const SSongTarget& target, CTask* task);
// The same from an open, seekable device positioned at the file's start; `name` names
// it in the log.
[[nodiscard]] SSongImport import_song(QIODevice& device, const QString& name, const SSongTarget& target,
                                      CTask* task);

// Reads the file once as import_song would convert it for `target`, keeping no song: the
// result, and on OK what the reading learned, the song's bytes (`converted_bytes`), its
// length, its loudness as it would go to the pedal and, to normalise, the gain and the
// figures it was chosen from.
[[nodiscard]] SSongImport check_song(const QString& path, const SSongTarget& target, CTask* task);
// import_song of a file `check` (check_song's result for the same target) passed, reading
// it once: to normalise, the gain the check chose is applied without measuring again.
[[nodiscard]] SSongImport import_checked_song(const QString& path, const SSongTarget& target,
                                              const SSongImport& check, CTask* task);

// The first of an import's two readings, for a song that goes to the pedal as it converts
// (CSongFileReader): the file is checked as import_song checks it, decoded but not
// converted, its song's exact length found from the frames and its SHA-256 computed from
// the same reading. To normalise, the file's sound is measured at its own rate and the
// gain chosen from that; otherwise the loudness is measured by the second reading, as the
// song converts. `song` stays empty.
[[nodiscard]] SSongImport check_song_file(const QString& path, const SSongTarget& target, CTask* task);
