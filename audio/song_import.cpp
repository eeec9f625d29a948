#include "audio/song_import.h"
#include "audio/loudness_gain.h"
#include "audio/sndfile_source.h"
#include "audio/song_converter.h"
#include "audio/song_import_steps.h"
#include "audio/song_import_text.h"
#include "audio/wave_reader.h"
#include "audio/wave_source.h"
#include "support/log_file.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>

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

bool rate_supported(const SAudioSourceInfo& info, SSongImport& import)
{
    import.file_rate = info.sample_rate;
    if (info.sample_rate >= MIN_SOURCE_RATE && info.sample_rate <= MAX_SOURCE_RATE)
        return true;
    import.result = ESongImportResult::BAD_RATE;
    import.detail = QStringLiteral("a sample rate of %1 Hz").arg(info.sample_rate);
    return false;
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
        const qint64 start = device.pos();
        std::unique_ptr<CWaveSource> source = CWaveSource::open(device, result);
        if (!source) {
            import.result =
                result == EWaveReadResult::EMPTY ? ESongImportResult::NO_SOUND : ESongImportResult::NOT_AUDIO;
            import.detail = QStringLiteral("WAV reader: %1").arg(wave_refusal_text(result));
            // Of the formats the reader refuses, a rate out of range is one to name.
            SWaveHeader header;
            if (result == EWaveReadResult::UNSUPPORTED && device.seek(start) &&
                read_wave_header(device, header) == EWaveReadResult::UNSUPPORTED) {
                SAudioSourceInfo info;
                info.sample_rate = header.format.nSamplesPerSec;
                static_cast<void>(rate_supported(info, import));
            }
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

// A song too long for the slot, or of a rate the converter does not take, is refused from
// the header, before anything is read.
bool fits_slot(const SAudioSourceInfo& info, const SSongTarget& target, SSongImport& import)
{
    if (!rate_supported(info, import))
        return false;
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
void take_conversion_failure(EConvertResult result, const SConversionCounts& counts,
                             const CAudioSource& source, const SSongTarget& target, SSongImport& import)
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

// What normalising found in a first reading and the gain it chose from it, and which of
// the file's readings converts with it.
struct SNormalising {
    SLoudness measured;
    SLoudnessGain gain;
    unsigned int pass = 1;
    unsigned int passes = 2;
};

// What a reading that went through learned of the file.
void take_counts(const SConversionCounts& counts, const SAudioSourceInfo& info, SSongImport& import)
{
    import.frames_decoded = counts.frames_read;
    import.converted_bytes = counts.bytes_out;
    import.result = counts.bytes_out == 0 ? ESongImportResult::NO_SOUND : ESongImportResult::OK;
    if (std::max(info.frames, info.promised_frames) > int64_t(counts.frames_read))
        import.header_seconds = double(std::max(info.frames, info.promised_frames)) / info.sample_rate;
    import.file_seconds = double(counts.frames_read) / info.sample_rate;
    import.clipped_samples = counts.clipped_samples;
}

// A reading that measures: the song the file makes at full precision, measured with its
// true peak and then dropped, so memory stays a few blocks. It is the first of `passes`.
std::optional<SLoudness> measure_song_of(CAudioSource& source, const SSongTarget& target, unsigned int passes,
                                         CTask* task, SSongImport& import)
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
    conversion.passes = passes;
    SConversionCounts counts;
    const EConvertResult result = convert_to_24bit(
        source, conversion, task, [](const unsigned char*, size_t) { return true; }, counts);
    if (result != EConvertResult::OK) {
        take_conversion_failure(result, counts, source, target, import);
        return std::nullopt;
    }
    take_counts(counts, source.info(), import);
    return meter->result();
}

// Converts the song, into `import.song` when `keep_song`, measuring it as it goes out
// unless `normalising` has measured it already: a constant gain moves every figure by
// itself.
void convert(CAudioSource& source, const SSongTarget& target, const std::optional<SNormalising>& normalising,
             bool keep_song, CTask* task, SSongImport& import)
{
    const SAudioSourceInfo& info = source.info();
    const uint64_t frame_bytes = uint64_t{target.channels} * kSongBytesPerSample;

    // Room for the whole song at once, so the block never moves while it grows. Pages
    // are only taken as they are written: a maximum reserved for a file of unknown
    // length costs no memory it does not use.
    const uint64_t expected = info.frames >= 0 ? import.converted_bytes + 64 * frame_bytes : target.max_bytes;
    try {
        if (keep_song)
            import.song.reserve(size_t(std::min({expected, target.max_bytes, kLargestReserve})));
    } catch (const std::exception&) {
        refuse_for_memory(import, QStringLiteral("%1 bytes for the song").arg(expected));
        return;
    }

    SConversion conversion = song_conversion_for(target);
    std::unique_ptr<CLoudnessMeter> meter;
    if (normalising) {
        conversion.full_precision = true;
        conversion.gain = std::pow(10.0, normalising->gain.gain_db / 20);
        conversion.pass = normalising->pass;
        conversion.passes = normalising->passes;
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
        take_counts(counts, info, import);
        import.loudness_target = target.loudness;
        if (normalising) {
            import.gain = normalising->gain;
            import.measured = normalising->measured;
            import.loudness = with_gain(normalising->measured, normalising->gain.gain_db);
        } else {
            import.loudness = meter->result();
        }
        import.loudness_measured = true;
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

// One reading that converts the file into `import.song`, with the gain `normalising` chose.
void convert_from(QIODevice& device, const SSongTarget& target,
                  const std::optional<SNormalising>& normalising, CTask* task, SSongImport& import)
{
    std::unique_ptr<CAudioSource> source = open_song_source(device, import);
    if (source && fits_slot(source->info(), target, import))
        convert(*source, target, normalising, true, task, import);
}

// One reading that learns what a conversion would make of the file without keeping it; to
// normalise, the song measured at full precision and the gain chosen from it, the first
// of `passes` readings.
void check_from(QIODevice& device, const SSongTarget& target, unsigned int passes, CTask* task,
                SSongImport& import)
{
    std::unique_ptr<CAudioSource> source = open_song_source(device, import);
    if (!source || !fits_slot(source->info(), target, import))
        return;
    const std::optional<double> target_lufs = loudness_target_lufs(target.loudness);
    if (!target_lufs) {
        convert(*source, target, std::nullopt, false, task, import);
        return;
    }
    const std::optional<SLoudness> measured = measure_song_of(*source, target, passes, task, import);
    if (!measured || import.result != ESongImportResult::OK)
        return;
    import.loudness_target = target.loudness;
    import.measured = measured;
    import.gain = loudness_gain(*measured, *target_lufs);
    import.loudness = with_gain(*measured, import.gain.gain_db);
    import.loudness_measured = true;
}

// The file is read once, or, to normalise, twice: once to measure and once to convert.
void import_from(QIODevice& device, const SSongTarget& target, CTask* task, SSongImport& import)
{
    if (!loudness_target_lufs(target.loudness)) {
        convert_from(device, target, std::nullopt, task, import);
        return;
    }
    const qint64 start = device.pos();
    SSongImport check;
    check_from(device, target, 2, task, check);
    if (check.result != ESongImportResult::OK) {
        import = std::move(check);
        return;
    }
    // The second reading decodes from the start again, with a decoder of its own.
    if (!device.seek(start)) {
        import.result = ESongImportResult::READ_ERROR;
        import.detail = QStringLiteral("cannot return to the start: %1").arg(device.errorString());
        return;
    }
    convert_from(device, target, SNormalising{*check.measured, check.gain, 1, 2}, task, import);
}

// One reading that converts with what `check` learned; a check that did not measure what
// normalising needs leaves it to import_from.
void import_checked_from(QIODevice& device, const SSongTarget& target, const SSongImport& check, CTask* task,
                         SSongImport& import)
{
    if (!loudness_target_lufs(target.loudness)) {
        convert_from(device, target, std::nullopt, task, import);
        return;
    }
    if (!check.measured) {
        import_from(device, target, task, import);
        return;
    }
    convert_from(device, target, SNormalising{*check.measured, check.gain, 0, 1}, task, import);
}

using Reading = std::function<void(QIODevice& device, SSongImport& import)>;

// `read` of `device`, named `name`; a failure is written to the log.
SSongImport logged_reading(QIODevice& device, const QString& name, const SSongTarget& target,
                           const Reading& read)
{
    SSongImport import;
    if (song_channels_made(target, import))
        read(device, import);
    log_song_refusal(name, import);
    return import;
}

// The same of the file at `path`.
SSongImport logged_file_reading(const QString& path, const SSongTarget& target, const Reading& read)
{
    QFile file(path);
    SSongImport import;
    return open_song_file(file, import) ? logged_reading(file, path, target, read) : import;
}

}  // namespace

SSongImport import_song(QIODevice& device, const QString& name, const SSongTarget& target, CTask* task)
{
    return logged_reading(device, name, target, [&](QIODevice& file, SSongImport& import) {
        import_from(file, target, task, import);
    });
}

SSongImport import_song(const QString& path, const SSongTarget& target, CTask* task)
{
    return logged_file_reading(
        path, target, [&](QIODevice& file, SSongImport& import) { import_from(file, target, task, import); });
}

SSongImport check_song(const QString& path, const SSongTarget& target, CTask* task)
{
    return logged_file_reading(path, target, [&](QIODevice& file, SSongImport& import) {
        check_from(file, target, 1, task, import);
    });
}

SSongImport import_checked_song(const QString& path, const SSongTarget& target, const SSongImport& check,
                                CTask* task)
{
    return logged_file_reading(path, target, [&](QIODevice& file, SSongImport& import) {
        import_checked_from(file, target, check, task, import);
    });
}

void import_from_device(QIODevice& device, const SSongTarget& target, CTask* task, SSongImport& import,
                        bool keep_song)
{
    if (keep_song)
        return import_from(device, target, task, import);
    std::unique_ptr<CAudioSource> source = open_song_source(device, import);
    if (source && fits_slot(source->info(), target, import))
        measure_song_file(*source, target, loudness_target_lufs(target.loudness), task, import);
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
