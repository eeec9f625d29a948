#include "core/song_commands/song_settings.h"

#include "device/nand_flash_config.h"

SSongAudioFormat song_audio_format(const SNandFlashConfig& format)
{
    return {format.channels, format.sample_rate, format.bits_per_sample};
}

const char* mono_mode_name(EMonoMode mode)
{
    return mode == EMonoMode::MIX ? "mix" : "left";
}

std::optional<EMonoMode> mono_mode_from_name(const QString& name)
{
    for (EMonoMode mode : {EMonoMode::LEFT, EMonoMode::MIX})
        if (name == QLatin1String(mono_mode_name(mode)))
            return mode;
    return std::nullopt;
}

QString recorded_mono_mode(const SNandFlashConfig* format, EMonoMode mode)
{
    return format && format->channels == 1 ? QString::fromLatin1(mono_mode_name(mode)) : QString();
}
