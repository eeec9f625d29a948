#include "app/user_prompt.h"

#include <QDebug>
#include <atomic>

namespace {

class CSilentPrompt final : public CUserPrompt {
public:
    void show_message(const QString& title, const QString& text) override
    {
        qDebug().noquote() << "[box]" << title << ":" << text;
    }
    bool ask_yes_no(const QString& title, const QString& text) override
    {
        qDebug().noquote() << "[question, answered No]" << title << ":" << text;
        return false;
    }
    QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_save_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_existing_directory(QWidget*, const QString&, const QString&) override { return {}; }
};

CSilentPrompt g_silent_prompt;
std::atomic<CUserPrompt*> g_prompt{&g_silent_prompt};

}  // namespace

CUserPrompt& user_prompt()
{
    return *g_prompt.load();
}

CUserPrompt* install_user_prompt(CUserPrompt* prompt)
{
    return g_prompt.exchange(prompt ? prompt : &g_silent_prompt);
}
