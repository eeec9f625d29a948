#include "support/app_identity.h"
#include "virtual_pedal/pedal_program.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    // Blocked before any thread starts, so every thread inherits the mask and the signals
    // wait for the main thread to take them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    QCoreApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    apply_app_identity();
    QCoreApplication::setApplicationVersion(program_version());
    const SPedalProgramParse parse = parse_pedal_program(QCoreApplication::arguments());
    if (!parse.options) {
        std::fprintf(parse.exit_code == 0 ? stdout : stderr, "%s\n", parse.text.toUtf8().constData());
        return parse.exit_code;
    }
    return run_pedal_program(*parse.options, stop_signals, stdout, stderr);
}
