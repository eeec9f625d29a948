#include "audio/hashing_device.h"
#include "audio/loudness_gain.h"
#include "audio/song_import.h"
#include "audio/song_import_steps.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <optional>

void measure_song_file(CAudioSource& source, const SSongTarget& target, std::optional<double> target_lufs,
                       CTask* task, SSongImport& import)
{
    const SAudioSourceInfo& info = source.info();
    std::unique_ptr<CLoudnessMeter> meter;
    if (target_lufs) {
        meter = CLoudnessMeter::create(target.channels, info.sample_rate, true);
        if (!meter)
            return refuse_for_memory(import, QStringLiteral("the loudness meter"));
    }
    SConversion conversion = song_conversion_for(target);
    conversion.meter = meter.get();
    SConversionCounts counts;
    const EConvertResult result = measure_source(source, conversion, task, counts);
    const uint64_t frame_bytes = uint64_t{target.channels} * kSongBytesPerSample;
    counts.bytes_out = converted_frames(counts.frames_read, info.sample_rate, kSongSampleRate) * frame_bytes;
    if (result != EConvertResult::OK)
        return take_conversion_failure(result, counts, source, target, import);
    import.frames_decoded = counts.frames_read;
    import.converted_bytes = counts.bytes_out;
    if (counts.bytes_out > target.max_bytes)
        return take_conversion_failure(EConvertResult::TOO_LONG, counts, source, target, import);
    import.result = counts.bytes_out == 0 ? ESongImportResult::NO_SOUND : ESongImportResult::OK;
    if (std::max(info.frames, info.promised_frames) > int64_t(counts.frames_read))
        import.header_seconds = double(std::max(info.frames, info.promised_frames)) / info.sample_rate;
    import.file_seconds = double(counts.frames_read) / info.sample_rate;
    import.clipped_samples = counts.clipped_samples;
    import.loudness_target = target.loudness;
    if (!meter)
        return;
    const SLoudness measured = meter->result();
    import.gain = loudness_gain(measured, *target_lufs);
    import.loudness = with_gain(measured, import.gain.gain_db);
    import.loudness_measured = true;
}

SSongImport check_song_file(const QString& path, const SSongTarget& target, CTask* task)
{
    QFile file(path);
    SSongImport import;
    if (!open_song_file(file, import) || !song_channels_made(target, import)) {
        log_song_refusal(path, import);
        return import;
    }
    CHashingDevice hashed(file);
    import_from_device(hashed, target, task, import, false);
    if (import.result == ESongImportResult::OK) {
        import.source_sha256 = hashed.finish_hash();
        if (import.source_sha256.isEmpty()) {
            import.result = ESongImportResult::READ_ERROR;
            import.detail = QStringLiteral("cannot read to the end: %1").arg(file.errorString());
        }
    }
    log_song_refusal(path, import);
    return import;
}
