#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "cli/terminal_prompt.h"
#include "demo/demo_start.h"
#include "support/app_identity.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QTextCodec>
#include <cstdio>

namespace {

// Whatever the logging rules let through, as plain lines on stderr.
void print_message(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(print_message);
    QCoreApplication app(argc, argv);
    // File names and arguments are UTF-8, whatever the locale says; set before the
    // arguments are read.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // The window's names: both programs share the settings and the demo pedal's folder.
    apply_app_identity();
    QCoreApplication::setApplicationVersion(program_version());
    const SCliParse parse = parse_cli(QCoreApplication::arguments());
    if (!parse.options) {
        std::fprintf(parse.exit_code == 0 ? stdout : stderr, "%s\n", parse.text.toUtf8().constData());
        return parse.exit_code;
    }
    apply_front_end_options(parse.options->front_end);
    CTerminalPrompt prompt(parse.options->yes, ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO));
    int code = CLI_EXIT_FAILED;
    const SDemoStart demo = start_demo_pedal(
        parse.options->front_end,
        [&prompt](const QString& title, const QString& text) { return prompt.ask_yes_no(title, text); });
    if (demo.failed) {
        if (!demo.why.isEmpty())
            std::fprintf(stderr, "%s\n", demo.why.toUtf8().constData());
        return CLI_EXIT_FAILED;
    }
    {
        CInterruptWatch interrupt;
        SCliContext context{*parse.options, prompt, interrupt, ::isatty(STDERR_FILENO) != 0,
                            stdout,         stderr, {}};
        code = run_cli_command(context);
    }
    return code;
}
