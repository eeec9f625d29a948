#include "audio/song_import.h"
#include "audio/loudness_gain.h"
#include "audio/sndfile_source.h"
#include "audio/song_converter.h"
#include "audio/song_import_steps.h"
#include "audio/song_time_text.h"
#include "audio/wave_source.h"
#include "support/log_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>

const char* const kAudioFileFilter = "Audio Files (*.wav *.aif *.aiff *.flac *.ogg *.opus *.mp3)";
const char* const kWavFileFilter = "Wav Files(*.wav)";

namespace {

// Slots hold far less; a caller without a limit still gets a block that can grow.
constexpr uint64_t kLargestReserve = uint64_t{1} << 30;

// The WAV reader's own reasons, for the log.
const char* wave_refusal_text(EWaveReadResult result)
{
    switch (result) {
        case EWaveReadResult::NO_RIFF:
            return "RIFF not found";
        case EWaveReadResult::NO_FORMAT:
            return "WAVEfmt not found";
        case EWaveReadResult::NO_DATA:
            return "data segment not found";
        case EWaveReadResult::UNSUPPORTED:
            return "sample format not supported";
        case EWaveReadResult::EMPTY:
            return "no whole frame of sound";
        case EWaveReadResult::OUT_OF_MEMORY:
            return "out of memory";
        case EWaveReadResult::OK:
            break;
    }
    return "";
}

// RIFF/WAVE is told apart by content, whatever the file is called.
bool is_riff_wave(QIODevice& device)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(12);
    const bool wave = head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
    return device.seek(start) && wave;
}

}  // namespace

std::unique_ptr<CAudioSource> open_song_source(QIODevice& device, SSongImport& import)
{
    if (is_riff_wave(device)) {
        EWaveReadResult result = EWaveReadResult::OK;
        std::unique_ptr<CWaveSource> source = CWaveSource::open(device, result);
        if (!source) {
            import.result =
                result == EWaveReadResult::EMPTY ? ESongImportResult::NO_SOUND : ESongImportResult::NOT_AUDIO;
            import.detail = QStringLiteral("WAV reader: %1").arg(wave_refusal_text(result));
        }
        return source;
    }
    QString why;
    std::unique_ptr<CSndfileSource> source = CSndfileSource::open(device, why);
    if (!source) {
        import.result = ESongImportResult::NOT_AUDIO;
        import.detail = QStringLiteral("libsndfile: %1").arg(why);
    }
    return source;
}

namespace {

// A song too long for the slot is refused from the header, before anything is read.
bool fits_slot(const SAudioSourceInfo& info, const SSongTarget& target, SSongImport& import)
{
    if (info.frames < 0)
        return true;
    const uint64_t frame_bytes = uint64_t{target.channels} * kSongBytesPerSample;
    import.file_seconds = double(info.frames) / info.sample_rate;
    import.converted_bytes =
        converted_frames(uint64_t(info.frames), info.sample_rate, kSongSampleRate) * frame_bytes;
    if (import.converted_bytes <= target.max_bytes)
        return true;
    import.result = ESongImportResult::TOO_LONG;
    import.detail =
        QStringLiteral("%1 song bytes, the slot holds %2").arg(import.converted_bytes).arg(target.max_bytes);
    return false;
}

}  // namespace

SConversion song_conversion_for(const SSongTarget& target)
{
    SConversion conversion;
    conversion.out_channels = target.channels;
    conversion.mono_mode = target.mono_mode;
    conversion.max_bytes = target.max_bytes;
    return conversion;
}

void refuse_for_memory(SSongImport& import, const QString& what)
{
    import.result = ESongImportResult::OUT_OF_MEMORY;
    import.detail = what;
}

// A conversion that did not go through, with its reason.
void take_conversion_failure(EConvertResult result, const SConversionCounts& counts, const CAudioSource& source,
                  const SSongTarget& target, SSongImport& import)
{
    import.frames_decoded = counts.frames_read;
    import.converted_bytes = counts.bytes_out;
    switch (result) {
        case EConvertResult::NOT_FINITE:
            import.result = ESongImportResult::NOT_FINITE;
            import.not_finite_seconds = double(counts.not_finite_frame) / source.info().sample_rate;
            import.detail = QStringLiteral("NaN or infinity in frame %1").arg(counts.not_finite_frame);
            break;
        case EConvertResult::TOO_LONG:
            import.result = ESongImportResult::TOO_LONG;
            import.detail = QStringLiteral("more than the slot's %1 song bytes after %2 frames")
                                .arg(target.max_bytes)
                                .arg(counts.frames_read);
            break;
        case EConvertResult::CANCELLED:
            import.result = ESongImportResult::CANCELLED;
            break;
        case EConvertResult::OK:
        case EConvertResult::WRITE_ERROR:
        case EConvertResult::READ_ERROR:
        case EConvertResult::RESAMPLER_ERROR:
            import.result = ESongImportResult::READ_ERROR;
            import.detail = QStringLiteral("%1 after %2 frames: %3")
                                .arg(convert_result_text(result))
                                .arg(counts.frames_read)
                                .arg(source.error_text());
            break;
    }
}

namespace {

// What normalising found in the first reading, and the gain it chose from it.
struct SNormalising {
    SLoudness measured;
    SLoudnessGain gain;
};

// The first of two readings: the song the file makes at full precision, measured with its
// true peak and then dropped, so memory stays a few blocks.
std::optional<SLoudness> measure_song_of(CAudioSource& source, const SSongTarget& target, CTask* task,
                                         SSongImport& import)
{
    const std::unique_ptr<CLoudnessMeter> meter =
        CLoudnessMeter::create(target.channels, kSongSampleRate, true);
    if (!meter) {
        refuse_for_memory(import, QStringLiteral("the loudness meter"));
        return std::nullopt;
    }
    SConversion conversion = song_conversion_for(target);
    conversion.full_precision = true;
    conversion.meter = meter.get();
    conversion.passes = 2;
    SConversionCounts counts;
    const EConvertResult result = convert_to_24bit(
        source, conversion, task, [](const unsigned char*, size_t) { return true; }, counts);
    if (result != EConvertResult::OK) {
        take_conversion_failure(result, counts, source, target, import);
        return std::nullopt;
    }
    return meter->result();
}

// Converts the song into `import.song` (or, without `keep_song`, only counts it), measuring
// it as it goes out unless `normalising` has measured it already: a constant gain moves
// every figure by itself.
void convert(CAudioSource& source, const SSongTarget& target, const std::optional<SNormalising>& normalising,
             CTask* task, SSongImport& import, bool keep_song = true)
{
    const SAudioSourceInfo& info = source.info();
    const uint64_t frame_bytes = uint64_t{target.channels} * kSongBytesPerSample;

    // Room for the whole song at once, so the block never moves while it grows. Pages
    // are only taken as they are written: a maximum reserved for a file of unknown
    // length costs no memory it does not use.
    const uint64_t expected = info.frames >= 0 ? import.converted_bytes + 64 * frame_bytes : target.max_bytes;
    try {
        import.song.reserve(keep_song ? size_t(std::min({expected, target.max_bytes, kLargestReserve})) : 0);
    } catch (const std::exception&) {
        refuse_for_memory(import, QStringLiteral("%1 bytes for the song").arg(expected));
        return;
    }

    SConversion conversion = song_conversion_for(target);
    std::unique_ptr<CLoudnessMeter> meter;
    if (normalising) {
        conversion.full_precision = true;
        conversion.gain = std::pow(10.0, normalising->gain.gain_db / 20);
        conversion.pass = 1;
        conversion.passes = 2;
    } else {
        meter = CLoudnessMeter::create(target.channels, kSongSampleRate, false);
        if (!meter) {
            refuse_for_memory(import, QStringLiteral("the loudness meter"));
            return;
        }
        conversion.meter = meter.get();
    }
    SConversionCounts counts;
    std::vector<unsigned char>& song = import.song;
    bool out_of_memory = false;
    const EConvertResult result = convert_to_24bit(
        source, conversion, task,
        [&song, &out_of_memory, keep_song](const unsigned char* bytes, size_t length) {
            // Only past the reservation, when a header gave too short a length.
            try {
                if (keep_song)
                    song.insert(song.end(), bytes, bytes + length);
            } catch (const std::exception&) {
                out_of_memory = true;
            }
            return !out_of_memory;
        },
        counts);
    if (result == EConvertResult::OK) {
        import.frames_decoded = counts.frames_read;
        import.converted_bytes = counts.bytes_out;
        import.result = counts.bytes_out == 0 ? ESongImportResult::NO_SOUND : ESongImportResult::OK;
        if (std::max(info.frames, info.promised_frames) > int64_t(counts.frames_read))
            import.header_seconds = double(std::max(info.frames, info.promised_frames)) / info.sample_rate;
        import.file_seconds = double(counts.frames_read) / info.sample_rate;
        import.clipped_samples = counts.clipped_samples;
        import.loudness_target = target.loudness;
        if (normalising) {
            import.gain = normalising->gain;
            import.loudness = with_gain(normalising->measured, normalising->gain.gain_db);
        } else {
            import.loudness = meter->result();
        }
    } else if (result == EConvertResult::WRITE_ERROR && out_of_memory) {
        import.frames_decoded = counts.frames_read;
        import.converted_bytes = counts.bytes_out;
        refuse_for_memory(import, QStringLiteral("%1 bytes for the song").arg(song.size()));
    } else {
        take_conversion_failure(result, counts, source, target, import);
    }
    if (import.result != ESongImportResult::OK)
        std::vector<unsigned char>().swap(song);
}

}  // namespace

// The file is read once, or, to normalise a song kept whole, twice: once to measure and
// once to convert. A check (no `keep_song`) reads it once in every case.
void import_from_device(QIODevice& device, const SSongTarget& target, CTask* task, SSongImport& import,
                        bool keep_song)
{
    const qint64 start = device.pos();
    std::unique_ptr<CAudioSource> source = open_song_source(device, import);
    if (!source || !fits_slot(source->info(), target, import))
        return;
    const std::optional<double> target_lufs = loudness_target_lufs(target.loudness);
    if (!target_lufs) {
        convert(*source, target, std::nullopt, task, import, keep_song);
        return;
    }
    if (!keep_song)
        return measure_song_file(*source, target, *target_lufs, task, import);
    const std::optional<SLoudness> measured = measure_song_of(*source, target, task, import);
    if (!measured)
        return;
    // The second reading decodes from the start again, with a decoder of its own.
    source.reset();
    if (!device.seek(start)) {
        import.result = ESongImportResult::READ_ERROR;
        import.detail = QStringLiteral("cannot return to the start: %1").arg(device.errorString());
        return;
    }
    source = open_song_source(device, import);
    if (source)
        convert(*source, target, SNormalising{*measured, loudness_gain(*measured, *target_lufs)}, task,
                import);
}


const char* song_import_result_text(ESongImportResult result)
{
    switch (result) {
        case ESongImportResult::OK:
            return "Imported";
        case ESongImportResult::NOT_AUDIO:
            return "Not an audio file";
        case ESongImportResult::NO_SOUND:
            return "No sound in the file";
        case ESongImportResult::TOO_LONG:
            return "File too large!";
        case ESongImportResult::CANCELLED:
            return "Cancelled";
        case ESongImportResult::READ_ERROR:
            return "Read error";
        case ESongImportResult::OUT_OF_MEMORY:
            return "Out of memory";
        case ESongImportResult::NOT_FINITE:
            return "Sample not a number";
    }
    return "";
}

SSongImport import_song(QIODevice& device, const QString& name, const SSongTarget& target, CTask* task)
{
    SSongImport import;
    if (song_channels_made(target, import))
        import_from_device(device, target, task, import, true);
    log_song_refusal(name, import);
    return import;
}

SSongImport import_song(const QString& path, const SSongTarget& target, CTask* task)
{
    QFile file(path);
    SSongImport import;
    return open_song_file(file, import) ? import_song(file, path, target, task) : import;
}

bool song_channels_made(const SSongTarget& target, SSongImport& import)
{
    if (target.channels == 1 || target.channels == 2)
        return true;
    import.result = ESongImportResult::NOT_AUDIO;
    import.detail = QStringLiteral("songs of %1 channels are not made").arg(target.channels);
    return false;
}

bool open_song_file(QFile& file, SSongImport& import)
{
    if (file.open(QIODevice::ReadOnly))
        return true;
    import.result = ESongImportResult::READ_ERROR;
    import.detail = file.errorString();
    CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "Import of '%s': %s", qUtf8Printable(file.fileName()),
                                  qUtf8Printable(import.detail));
    return false;
}

void log_song_refusal(const QString& name, const SSongImport& import)
{
    if (import.result != ESongImportResult::OK && import.result != ESongImportResult::CANCELLED)
        CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "Import of '%s': %s (%s)", qUtf8Printable(name),
                                      song_import_result_text(import.result), qUtf8Printable(import.detail));
}

QStringList song_import_notes(const SSongImport& import)
{
    QStringList notes;
    if (import.header_seconds && import.file_seconds)
        notes << QStringLiteral("The file ends at %1 of the %2 its header gives.")
                     .arg(time_text(*import.file_seconds), time_text(*import.header_seconds));
    if (import.clipped_samples > 0)
        notes << QStringLiteral("%1 samples beyond full scale were clipped.").arg(import.clipped_samples);
    if (import.gain.peak_limited)
        notes << QStringLiteral("reached %1; the peaks allow no more")
                     .arg(loudness_text(import.loudness.integrated_lufs));
    return notes;
}

QString song_import_message(const SSongImport& import, const QString& path, const SSongTarget& target)
{
    const QString name = QFileInfo(path).fileName();
    switch (import.result) {
        case ESongImportResult::NOT_AUDIO:
            return QStringLiteral(
                       "%1 is not an audio file Tandora can read. "
                       "Tandora reads WAV, AIFF, FLAC, OGG, Opus and MP3 files.")
                .arg(name);
        case ESongImportResult::NO_SOUND:
            return QStringLiteral("%1 holds no sound.").arg(name);
        case ESongImportResult::TOO_LONG:
            return QStringLiteral("%1\n%2").arg(
                song_import_result_text(import.result),
                too_long_text(target.max_bytes, target.channels, import.file_seconds));
        case ESongImportResult::READ_ERROR:
            return QStringLiteral("Tandora could not read %1.").arg(name);
        case ESongImportResult::OUT_OF_MEMORY:
            return QStringLiteral("There is not enough memory to convert %1.").arg(name);
        case ESongImportResult::NOT_FINITE:
            return QStringLiteral("%1 holds a sample that is not a number (NaN or infinity) at %2.")
                .arg(name, time_text(import.not_finite_seconds));
        case ESongImportResult::CANCELLED:
        case ESongImportResult::OK:
            break;
    }
    return song_import_result_text(import.result);
}
