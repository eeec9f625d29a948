#include "app/message_box.h"
#include "app/qt_user_prompt.h"
#include "app/tandora_qt.h"
#include "app/user_prompt.h"
#include "app/window_geometry.h"
#include "core/front_end_options.h"
#include "core/pedal_session.h"
#include "demo/demo_start.h"
#include "support/app_identity.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTextCodec>
#include <memory>

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "The desktop companion of USB-MIDI looper pedals: finds the pedal, lists its song slots, "
        "imports audio files into them, exports, deletes, backs up and restores them, and updates "
        "the pedal's firmware. tandora-cli does the same from a terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    add_front_end_options(parser);
}

// --help and --version answer on the terminal, with no display needed, and end the program.
void answer_help_or_version(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument != "--help" && argument != "-h" && argument != "--version" && argument != "-v")
            continue;
        QCoreApplication terminal(argc, argv);
        apply_app_identity();
        QCoreApplication::setApplicationVersion(program_version());
        QCommandLineParser parser;
        describe(parser);
        parser.process(terminal);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    answer_help_or_version(argc, argv);
    QApplication app(argc, argv);
    apply_app_identity();
    QCoreApplication::setApplicationVersion(program_version());
    QGuiApplication::setDesktopFileName(app_id());
    QApplication::setWindowIcon(QIcon(":/TandoraQT/Resources/Pictures/tandora.png"));
    // File names are UTF-8 on Linux and macOS, whatever the locale says (a C locale
    // would make "Café.wav" unopenable).
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    CQtUserPrompt prompt;
    install_user_prompt(&prompt);

    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    SFrontEndOptions options;
    QString error;
    if (!read_front_end_options(parser, options, error)) {
        show_message(error);
        return 2;
    }
    apply_front_end_options(options);
    const SDemoStart demo = start_demo_pedal(options, [](const QString& title, const QString& text) {
        return user_prompt().ask_yes_no(title, text);
    });
    if (demo.failed) {
        if (!demo.why.isEmpty())
            show_message(demo.why);
        return 1;
    }
    int exit_code = 0;
    {
        // The window is destroyed before the application object, so its detection
        // thread is stopped and joined while the MIDI service is still there.
        CPedalSession session;
        auto window = std::make_unique<TandoraQT>(session, options.demo);
        restore_window_geometry(*window);
        window->show();
        exit_code = app.exec();
        remember_window_geometry(*window);
    }
    install_user_prompt(nullptr);
    return exit_code;
}
