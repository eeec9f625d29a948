#include "cli/terminal_prompt.h"

#include <QByteArray>

CTerminalPrompt::CTerminalPrompt(bool yes, bool interactive, std::FILE* in, std::FILE* out)
    : m_yes(yes), m_interactive(interactive), m_in(in), m_out(out)
{
}

bool CTerminalPrompt::ask_yes_no(const QString&, const QString& text)
{
    if (m_yes)
        return true;
    if (!m_interactive) {
        m_refused = true;
        std::fprintf(m_out, "%s\nNo terminal to ask on: run again with --yes to answer yes.\n",
                     text.toUtf8().constData());
        std::fflush(m_out);
        return false;
    }
    // A progress bar may be drawn on the line: the question takes its place.
    std::fprintf(m_out, "\r\033[K%s [y/N] ", text.toUtf8().constData());
    std::fflush(m_out);
    char line[64] = {};
    if (!std::fgets(line, sizeof line, m_in))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}
