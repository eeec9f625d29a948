#include "scripted_prompt.h"

CScriptedPrompt::CScriptedPrompt() : m_previous(install_user_prompt(this)) {}

CScriptedPrompt::~CScriptedPrompt()
{
    install_user_prompt(m_previous);
}

QStringList CScriptedPrompt::messages() const
{
    QStringList texts;
    for (const SShown& shown : m_shown)
        if (shown.kind == EKind::MESSAGE)
            texts << shown.text;
    return texts;
}

void CScriptedPrompt::show_message(const QString& title, const QString& text)
{
    m_shown.push_back({EKind::MESSAGE, title, text, {}});
    if (on_message)
        on_message(text);
}

bool CScriptedPrompt::ask_yes_no(const QString& title, const QString& text)
{
    m_shown.push_back({EKind::QUESTION, title, text, {}});
    if (m_answers.empty())
        return false;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

bool CScriptedPrompt::ask_yes_no_or_play(const QString& title, const QString& text,
                                         const std::function<void()>& play)
{
    if (press_play) {
        play();
        if (on_play)
            on_play();
    }
    const bool yes = ask_yes_no(title, text);
    m_shown.back().play_offered = true;
    return yes;
}

bool CScriptedPrompt::ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                                       const QString&)
{
    const bool yes = ask_yes_no(title, text);
    m_shown.back().table = table;
    return yes;
}

QString CScriptedPrompt::get_open_file_name(QWidget*, const QString& caption, const QString& folder,
                                            const QString& filter)
{
    m_shown.push_back({EKind::OPEN_FILE, caption, folder, filter});
    return next_file();
}

QString CScriptedPrompt::get_save_file_name(QWidget*, const QString& caption, const QString& proposed,
                                            const QString& filter)
{
    m_shown.push_back({EKind::SAVE_FILE, caption, proposed, filter});
    return next_file();
}

QString CScriptedPrompt::get_existing_directory(QWidget*, const QString& caption, const QString& folder)
{
    m_shown.push_back({EKind::FOLDER, caption, folder, {}});
    return next_file();
}

QString CScriptedPrompt::next_file()
{
    if (m_files.empty())
        return {};
    const QString path = m_files.front();
    m_files.pop_front();
    return path;
}
