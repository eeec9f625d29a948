#include "audio/song_audio.h"

const char* mono_mode_text(EMonoMode mode)
{
    switch (mode) {
        case EMonoMode::LEFT:
            return "Left channel";
        case EMonoMode::MIX:
            return "Mix of both channels";
    }
    return "";
}
