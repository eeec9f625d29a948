#include "playback/audio_sink.h"

CAudioSink::~CAudioSink() = default;

QString CAudioSink::open_failed_text()
{
    return QStringLiteral("The audio output could not be opened.");
}
