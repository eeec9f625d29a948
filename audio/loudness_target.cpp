#include "audio/loudness_target.h"

namespace {

constexpr ELoudnessTarget kTargets[] = {ELoudnessTarget::AS_THE_FILE, ELoudnessTarget::LUFS_14,
                                        ELoudnessTarget::LUFS_16, ELoudnessTarget::LUFS_23};

}  // namespace

QString loudness_target_text(ELoudnessTarget target)
{
    if (target == ELoudnessTarget::AS_THE_FILE)
        return QStringLiteral("As the file");
    return QStringLiteral("\u2212%1 LUFS").arg(-*loudness_target_lufs(target));
}

const char* loudness_target_name(ELoudnessTarget target)
{
    switch (target) {
        case ELoudnessTarget::AS_THE_FILE:
            return "off";
        case ELoudnessTarget::LUFS_14:
            return "-14";
        case ELoudnessTarget::LUFS_16:
            return "-16";
        case ELoudnessTarget::LUFS_23:
            return "-23";
    }
    return "";
}

std::optional<ELoudnessTarget> loudness_target_from_name(const QString& name)
{
    for (ELoudnessTarget target : kTargets)
        if (name == QLatin1String(loudness_target_name(target)))
            return target;
    return std::nullopt;
}

std::optional<double> loudness_target_lufs(ELoudnessTarget target)
{
    switch (target) {
        case ELoudnessTarget::LUFS_14:
            return -14.0;
        case ELoudnessTarget::LUFS_16:
            return -16.0;
        case ELoudnessTarget::LUFS_23:
            return -23.0;
        case ELoudnessTarget::AS_THE_FILE:
            break;
    }
    return std::nullopt;
}
