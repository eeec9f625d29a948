#pragma once

#include "core/questions.h"

#include <cstdio>

// The questions of the commands, on a terminal: a question is answered by --yes, by the
// user on a terminal, or, with no terminal to ask on, refused (answered No and noted, so
// the command says why it stopped). Texts go to `out`, stderr by default.
class CTerminalPrompt final : public CQuestions {
public:
    CTerminalPrompt(bool yes, bool interactive, std::FILE* in = stdin, std::FILE* out = stderr);

    bool ask_yes_no(const QString& title, const QString& text) override;

    // A question came with no terminal to ask on and no --yes.
    bool refused() const { return m_refused; }

private:
    bool m_yes;
    bool m_interactive;
    std::FILE* m_in;
    std::FILE* m_out;
    bool m_refused = false;
};
