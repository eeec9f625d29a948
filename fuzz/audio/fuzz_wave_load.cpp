// Feeds arbitrary files to the WAV reader and converts whatever it accepts to the stereo
// song format, so the sample decoding of every accepted layout runs on hostile sizes too.
#include "audio/wave.h"

#include <QTemporaryFile>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryFile file;
    static bool opened = file.open();
    if (!opened || !file.resize(0) || !file.seek(0))
        return 0;
    if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size) || !file.seek(0))
        return 0;

    CWave wave;
    if (wave.Load(&file)) {
        // Whole frames of sound, and never more bytes than the file itself holds.
        const uint64_t length = uint64_t(wave.GetNumSamples()) * wave.GetFormat().nBlockAlign;
        if (length == 0 || length > size)
            __builtin_trap();
        (void)wave.ResampleLinerAs46875Wav(2);
    }
    return 0;
}
