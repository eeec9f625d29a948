#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "cli/terminal_prompt.h"
#include "support/app_identity.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QTextCodec>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // File names and arguments are UTF-8, whatever the locale says; set before the
    // arguments are read.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // The window's names: both programs share the settings and the demo pedal's folder.
    apply_app_identity();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.7"));
    const SCliParse parse = parse_cli(QCoreApplication::arguments());
    if (!parse.options) {
        std::fprintf(parse.exit_code == 0 ? stdout : stderr, "%s\n", parse.text.toUtf8().constData());
        return parse.exit_code;
    }
    CTerminalPrompt prompt(parse.options->yes, ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO));
    CUserPrompt* previous = install_user_prompt(&prompt);
    int code = CLI_EXIT_FAILED;
    {
        CInterruptWatch interrupt;
        SCliContext context{*parse.options, prompt, interrupt, ::isatty(STDERR_FILENO) != 0};
        code = run_cli_command(context);
    }
    install_user_prompt(previous);
    return code;
}
