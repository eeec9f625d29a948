#pragma once

#include "app/user_prompt.h"

// The prompt of the running program: real, modal Qt message boxes and file dialogs.
class CQtUserPrompt final : public CUserPrompt {
public:
    void show_message(const QString& title, const QString& text) override;
    bool ask_yes_no(const QString& title, const QString& text) override;
    bool ask_yes_no_or_play(const QString& title, const QString& text,
                            const std::function<void()>& play) override;
    // A dialog: the text, the table read-only, then Yes and No.
    bool ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                          const QString& in_words) override;
    QString get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                               const QString& filter) override;
    QString get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter) override;
    QString get_existing_directory(QWidget* parent, const QString& caption, const QString& folder) override;
};
