#include "support/prompt_handover.h"
#include "scripted_prompt.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

namespace {

// Notes the thread each question is answered on.
class CThreadNotingPrompt final : public CUserPrompt {
public:
    void show_message(const QString&, const QString& text) override
    {
        threads.push_back(QThread::currentThread());
        texts << text;
    }
    bool ask_yes_no(const QString&, const QString&) override
    {
        threads.push_back(QThread::currentThread());
        return true;
    }
    QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return QStringLiteral("/chosen");
    }
    QString get_save_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_existing_directory(QWidget*, const QString&, const QString&) override { return {}; }

    std::vector<QThread*> threads;
    QStringList texts;
};

}  // namespace

// A box raised on a worker is shown on the GUI thread, and the worker gets its answer.
TEST(PromptHandover, WorkersAreAnsweredOnTheGuiThread)
{
    CThreadNotingPrompt shown;
    CUserPrompt* previous = install_user_prompt(&shown);
    {
        CPromptHandover handover;
        std::atomic<bool> done{false};
        bool yes = false;
        QString file;
        std::thread worker([&] {
            user_prompt().show_message("Message", "from the worker");
            yes = user_prompt().ask_yes_no("Delete", "sure?");
            file = user_prompt().get_open_file_name(nullptr, "Open", "", "");
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
        worker.join();
        EXPECT_TRUE(yes);
        EXPECT_EQ(file, "/chosen");
        EXPECT_EQ(shown.texts, QStringList({"from the worker"}));
        ASSERT_EQ(shown.threads.size(), 2u);
        for (QThread* thread : shown.threads)
            EXPECT_EQ(thread, QThread::currentThread());
        // On the GUI thread itself, questions go straight to the installed prompt.
        user_prompt().show_message("Message", "from the GUI");
        EXPECT_EQ(shown.texts.size(), 2);
    }
    install_user_prompt(previous);
}

// Once the window closes, a waiting worker is let go with the silent answer, unshown.
TEST(PromptHandover, ClosingLetsAWaitingWorkerGo)
{
    CThreadNotingPrompt shown;
    CUserPrompt* previous = install_user_prompt(&shown);
    {
        CPromptHandover handover;
        bool yes = true;
        std::thread worker([&] { yes = user_prompt().ask_yes_no("Delete", "sure?"); });
        while (!handover.waiting())
            std::this_thread::yield();
        handover.close();
        worker.join();
        EXPECT_FALSE(yes);
        EXPECT_TRUE(shown.threads.empty());
        // Asked after the close, the answer is silent at once.
        std::thread late([&] { yes = user_prompt().ask_yes_no("Delete", "again?"); });
        late.join();
        EXPECT_FALSE(yes);
    }
    install_user_prompt(previous);
}
