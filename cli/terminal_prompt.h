#pragma once

#include "support/user_prompt.h"

#include <cstdio>

// The boxes of the lower layers and the questions of the commands, on a terminal: texts
// go to stderr; a question is answered by --yes, by the user on a terminal, or, with no
// terminal to ask on, refused (answered No and noted, so the command says why it stopped).
class CTerminalPrompt final : public CUserPrompt {
public:
    CTerminalPrompt(bool yes, bool interactive, std::FILE* in = stdin, std::FILE* out = stderr);

    void show_message(const QString& title, const QString& text) override;
    bool ask_yes_no(const QString& title, const QString& text) override;
    QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_save_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_existing_directory(QWidget*, const QString&, const QString&) override { return {}; }

    // A question came with no terminal to ask on and no --yes.
    bool refused() const { return m_refused; }

private:
    bool m_yes;
    bool m_interactive;
    std::FILE* m_in;
    std::FILE* m_out;
    bool m_refused = false;
};
