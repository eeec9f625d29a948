#include "scripted_questions.h"

bool CScriptedQuestions::ask_yes_no(const QString&, const QString& text)
{
    asked << text;
    if (m_answers.empty())
        return m_otherwise;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

bool CScriptedQuestions::ask_yes_no_playing(const QString& title, const QString& text, const SongMaker& make_song)
{
    if (plays)
        played = make_song();
    return ask_yes_no(title, text);
}
