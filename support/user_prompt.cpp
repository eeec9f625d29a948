#include "support/user_prompt.h"

#include "support/prompt_handover.h"

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
std::atomic<CPromptHandover*> g_handover{nullptr};

}  // namespace

CUserPrompt& user_prompt()
{
    CPromptHandover* handover = g_handover.load();
    if (handover && !handover->is_own_thread())
        return *handover;
    return *g_prompt.load();
}

CUserPrompt& installed_user_prompt()
{
    return *g_prompt.load();
}

void register_prompt_handover(CPromptHandover* handover)
{
    g_handover.store(handover);
}

CUserPrompt* install_user_prompt(CUserPrompt* prompt)
{
    return g_prompt.exchange(prompt ? prompt : &g_silent_prompt);
}
