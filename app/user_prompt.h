#pragma once

#include "core/questions.h"

#include <QString>
#include <functional>

class QWidget;

// Every box and file dialog the window shows goes through the installed prompt, so the
// running program shows real Qt dialogs and tests read the texts and give the answers.
class CUserPrompt {
public:
    virtual ~CUserPrompt() = default;

    // Information box with one OK button.
    virtual void show_message(const QString& title, const QString& text) = 0;
    // Information box with Yes and No; true only for Yes.
    virtual bool ask_yes_no(const QString& title, const QString& text) = 0;
    // The same box with a Play button besides, which calls `play` and leaves the question
    // open; a prompt that cannot offer it asks plainly.
    virtual bool ask_yes_no_or_play(const QString& title, const QString& text,
                                    const std::function<void()>& /*play*/)
    {
        return ask_yes_no(title, text);
    }
    // A question with `table` under `text`, Yes and No; a prompt that cannot show a table
    // asks `in_words`, which tells its lines too.
    virtual bool ask_yes_no_table(const QString& title, const QString& /*text*/,
                                  const SQuestionTable& /*table*/, const QString& in_words)
    {
        return ask_yes_no(title, in_words);
    }
    // File dialogs; an empty text means the user cancelled.
    virtual QString get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                                       const QString& filter) = 0;
    virtual QString get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                                       const QString& filter) = 0;
    // A folder, existing or made in the dialog, starting in `folder`.
    virtual QString get_existing_directory(QWidget* parent, const QString& caption,
                                           const QString& folder) = 0;
};

// The prompt in force, used on the GUI thread only (a worker's questions come through a
// CPromptHandover). Until one is installed, a silent one answers: it writes the text to
// the debug output, presses OK or No and cancels every file dialog, so nothing that runs
// without a user can hang on a box.
CUserPrompt& user_prompt();

// Installs `prompt` (not owned; null restores the silent one) and returns the previous one.
CUserPrompt* install_user_prompt(CUserPrompt* prompt);
