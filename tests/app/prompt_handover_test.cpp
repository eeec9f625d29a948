#include "app/prompt_handover.h"
#include "scripted_prompt.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include "test_wait.h"

namespace {

// Notes the thread each question is answered on.
class CThreadNotingPrompt final : public CUserPrompt {
public:
    void show_message(const QString&, const QString&) override {}
    bool ask_yes_no(const QString&, const QString&) override
    {
        threads.push_back(QThread::currentThread());
        return true;
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

    std::vector<QThread*> threads;
};

}  // namespace

// A question asked on a worker is put on the GUI thread, and the worker gets its answer;
// on the GUI thread itself it goes straight to the installed prompt.
TEST(PromptHandover, WorkersAreAnsweredOnTheGuiThread)
{
    CThreadNotingPrompt shown;
    CUserPrompt* previous = install_user_prompt(&shown);
    {
        CPromptHandover handover;
        std::atomic<bool> done{false};
        bool yes = false;
        std::thread worker([&] {
            yes = handover.ask_yes_no("Delete", "sure?");
            done = true;
        });
        wait_or_fail([&] { return done.load(); }, 60000);
        worker.join();
        EXPECT_TRUE(yes);
        EXPECT_TRUE(handover.ask_yes_no("Delete", "from the GUI"));
        ASSERT_EQ(shown.threads.size(), 2u);
        for (QThread* thread : shown.threads)
            EXPECT_EQ(thread, QThread::currentThread());
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
        std::thread worker([&] { yes = handover.ask_yes_no("Delete", "sure?"); });
        while (!handover.waiting())
            std::this_thread::yield();
        handover.close();
        worker.join();
        EXPECT_FALSE(yes);
        EXPECT_TRUE(shown.threads.empty());
        // Asked after the close, the answer is silent at once.
        std::thread late([&] { yes = handover.ask_yes_no("Delete", "again?"); });
        late.join();
        EXPECT_FALSE(yes);
    }
    install_user_prompt(previous);
}
