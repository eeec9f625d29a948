#include "audio/song_stream.h"
#include "audio/song_time_text.h"
#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/interrupt.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/song_playback.h"
#include "playback/qt_audio_sink.h"
#include "playback/song_player.h"
#include "support/task.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <memory>
#include <optional>
#include <thread>

namespace {

// How often the main thread looks for a Ctrl-C, in ms; the watching thread only cancels the
// task, as the player may be touched on this thread alone.
constexpr int kCancelLookMs = 50;

// "0:42 / 4:00", redrawn in place on a terminal, with "buffering" while the song waits for
// the pedal; nothing elsewhere, where a line per change would only fill a log.
class CPlayLine {
public:
    CPlayLine(SCliContext& context, const CSongPlayer& player)
        : m_out(context.terminal && !context.options.quiet ? context.err : nullptr), m_player(player)
    {
    }
    ~CPlayLine()
    {
        if (m_drawn)
            std::fprintf(m_out, "\n");
    }
    CPlayLine(const CPlayLine&) = delete;
    CPlayLine& operator=(const CPlayLine&) = delete;

    void draw()
    {
        if (!m_out)
            return;
        const QString line = play_time_text(m_player.position(), m_player.frames(),
                                            m_player.state() == CSongPlayer::EState::BUFFERING);
        std::fprintf(m_out, "\r%s\033[K", line.toUtf8().constData());
        std::fflush(m_out);
        m_drawn = true;
    }

private:
    std::FILE* m_out;
    const CSongPlayer& m_player;
    bool m_drawn = false;
};

// FAILED: the sink could not play, and its reason was printed.
enum class EPlayEnd { HEARD, CANCELLED, FAILED };

// Plays `stream` on `sink` until it has been heard to its end or `task` is cancelled.
EPlayEnd play_to_end(SCliContext& context, CAudioSink& sink, const std::shared_ptr<const CSongStream>& stream,
                     CTask& task)
{
    CSongPlayer player(sink);
    CPlayLine line(context, player);
    QEventLoop loop;
    QObject::connect(&player, &CSongPlayer::position_changed, [&line] { line.draw(); });
    QObject::connect(&player, &CSongPlayer::state_changed, [&line] { line.draw(); });
    QObject::connect(&player, &CSongPlayer::finished, &loop, &QEventLoop::quit);
    QTimer cancel_look;
    QObject::connect(&cancel_look, &QTimer::timeout, [&] {
        if (task.cancelled()) {
            player.stop();
            loop.quit();
        }
    });
    QString why;
    if (player.play(stream, &why)) {
        cancel_look.start(kCancelLookMs);
        loop.exec();
        why = sink.unavailable();
    }
    if (!why.isEmpty()) {
        fail_with(context, CLI_EXIT_FAILED, why);
        return EPlayEnd::FAILED;
    }
    return task.cancelled() ? EPlayEnd::CANCELLED : EPlayEnd::HEARD;
}

// The exit code once playing has ended: `result` (the read's, or the conversion's) tells a
// failure the player could not.
int played_exit(SCliContext& context, EPlayEnd end, const COperationResult& result)
{
    if (end == EPlayEnd::FAILED)
        return CLI_EXIT_FAILED;
    if (end == EPlayEnd::CANCELLED)
        return report(context, COperationResult::cancelled());
    return result.ok() ? CLI_EXIT_OK : report(context, result);
}

// The read runs on a thread of its own while this one plays what has arrived.
int play_slot(SCliContext& context, CPedalSession& session, CAudioSink& sink, int slot)
{
    const std::shared_ptr<CSongStream> stream = slot_stream(session, slot);
    if (!stream)
        return fail_with(context, CLI_EXIT_FAILED,
                         QStringLiteral("The song in slot %1 is too large to hold in memory.").arg(slot + 1));
    if (!context.options.quiet) {
        const QString name = slot_line(session, static_cast<unsigned int>(slot)).name;
        print_line(context, name.isEmpty() ? QStringLiteral("Playing slot %1").arg(slot + 1)
                                           : QStringLiteral("Playing slot %1: %2").arg(slot + 1).arg(name));
    }
    CTask task;
    context.interrupt.watch(&task);
    std::optional<COperationResult> read;
    std::thread reader([&] { read = stream_slot(session, slot, *stream, &task); });
    const EPlayEnd end = play_to_end(context, sink, stream, task);
    // The read is of no more use to a sink that cannot play.
    if (end == EPlayEnd::FAILED)
        task.cancel();
    reader.join();
    context.interrupt.watch(nullptr);
    return played_exit(context, end, session.with_notes(*read));
}

int play_file(SCliContext& context, CPedalSession& session, CAudioSink& sink, const QString& path)
{
    if (!QFileInfo(path).isFile())
        return not_a_file(context, path);
    std::shared_ptr<CSongStream> stream;
    const COperationResult converted = run_task(context, session, [&](CTask& task) {
        return convert_for_playing(session, path, context.options.import_settings, &task, stream);
    });
    if (!converted.ok())
        return report(context, converted);
    CTask task;
    context.interrupt.watch(&task);
    const EPlayEnd end = play_to_end(context, sink, stream, task);
    context.interrupt.watch(nullptr);
    return played_exit(context, end, converted);
}

}  // namespace

int run_play(SCliContext& context, CPedalSession& session)
{
    std::unique_ptr<CQtAudioSink> default_output;
    if (!context.sink)
        default_output = std::make_unique<CQtAudioSink>();
    CAudioSink& sink = context.sink ? *context.sink : *default_output;
    if (!sink.unavailable().isEmpty())
        return fail_with(context, CLI_EXIT_FAILED, sink.unavailable());
    const QString& argument = context.options.arguments[0];
    bool number = false;
    argument.toInt(&number);
    if (!number)
        return play_file(context, session, sink, argument);
    int slot = -1;
    const int parsed = parse_song_slot(context, argument, session, slot);
    return parsed == CLI_EXIT_OK ? play_slot(context, session, sink, slot) : parsed;
}
