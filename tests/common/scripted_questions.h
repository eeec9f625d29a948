#pragma once

#include "core/questions.h"

#include <QStringList>
#include <deque>
#include <memory>

// A user who answers an operation's questions from a script and notes their texts.
// Unscripted questions get `otherwise`: No unless a test says Yes to everything.
class CScriptedQuestions final : public CQuestions {
public:
    explicit CScriptedQuestions(bool otherwise = false) : m_otherwise(otherwise) {}
    void answer(bool yes) { m_answers.push_back(yes); }
    bool ask_yes_no(const QString& title, const QString& text) override;
    // Asked as ask_yes_no; a user who `plays` has the song made and keeps it in `played`.
    bool ask_yes_no_playing(const QString& title, const QString& text, const SongMaker& make_song) override;

    QStringList asked;
    bool plays = false;
    std::shared_ptr<const CSongStream> played;

private:
    bool m_otherwise;
    std::deque<bool> m_answers;
};
