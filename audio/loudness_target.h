#pragma once

#include <QString>
#include <optional>

// The loudness a song is brought to on import.
enum class ELoudnessTarget {
    AS_THE_FILE,  // no gain: the file's level, byte for byte as without measuring
    LUFS_14,
    LUFS_16,
    LUFS_23,
};

// "As the file", "−14 LUFS" (with the minus sign U+2212), as the setting is offered.
QString loudness_target_text(ELoudnessTarget target);
// The setting as the settings file and the command line spell it: "off", "-14".
const char* loudness_target_name(ELoudnessTarget target);
std::optional<ELoudnessTarget> loudness_target_from_name(const QString& name);
// The integrated loudness aimed at; none for AS_THE_FILE.
std::optional<double> loudness_target_lufs(ELoudnessTarget target);
