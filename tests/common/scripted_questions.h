#pragma once

#include "core/questions.h"

#include <QStringList>
#include <deque>

// A user who answers an operation's questions from a script and notes their texts.
// Unscripted questions get `otherwise`: No unless a test says Yes to everything.
class CScriptedQuestions final : public CQuestions {
public:
    explicit CScriptedQuestions(bool otherwise = false) : m_otherwise(otherwise) {}
    void answer(bool yes) { m_answers.push_back(yes); }
    bool ask_yes_no(const QString& title, const QString& text) override;

    QStringList asked;

private:
    bool m_otherwise;
    std::deque<bool> m_answers;
};
