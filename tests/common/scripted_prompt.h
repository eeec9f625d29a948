#pragma once

#include "app/user_prompt.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// A user who answers from a script. It records every box and dialog shown, in order,
// and installs itself for its lifetime. Unscripted questions are answered No and
// unscripted file dialogs are cancelled, so a test can never hang on a box.
class CScriptedPrompt final : public CUserPrompt {
public:
    enum class EKind { MESSAGE, QUESTION, OPEN_FILE, SAVE_FILE, FOLDER };
    struct SShown {
        EKind kind;
        QString title;  // caption for file dialogs
        QString text;   // folder or proposed name for file dialogs
        QString filter;
        bool play_offered = false;
        SQuestionTable table{};  // a question's table, if it has one
    };

    CScriptedPrompt();
    ~CScriptedPrompt() override;
    CScriptedPrompt(const CScriptedPrompt&) = delete;
    CScriptedPrompt& operator=(const CScriptedPrompt&) = delete;

    void answer_yes_no(bool yes) { m_answers.push_back(yes); }
    // Where a question offers Play, the user presses it before the answer, and `on_play`
    // runs while the question is still open.
    bool press_play = false;
    std::function<void()> on_play;
    void answer_file(const QString& path) { m_files.push_back(path); }

    const std::vector<SShown>& shown() const { return m_shown; }
    // Runs as each message box is shown, with its text: what the user sees meanwhile.
    std::function<void(const QString&)> on_message;
    // Texts of the message boxes shown so far, in order.
    QStringList messages() const;
    void clear() { m_shown.clear(); }

    void show_message(const QString& title, const QString& text) override;
    bool ask_yes_no(const QString& title, const QString& text) override;
    bool ask_yes_no_or_play(const QString& title, const QString& text,
                            const std::function<void()>& play) override;
    bool ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                          const QString& in_words) override;
    QString get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                               const QString& filter) override;
    QString get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter) override;
    // Answered from the same queue as the file dialogs.
    QString get_existing_directory(QWidget* parent, const QString& caption, const QString& folder) override;

private:
    QString next_file();

    CUserPrompt* m_previous;
    std::vector<SShown> m_shown;
    std::deque<bool> m_answers;
    std::deque<QString> m_files;
};
