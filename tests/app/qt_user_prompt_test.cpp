#include "app/qt_user_prompt.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

struct SSeenBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Plays the user in front of the next modal message box: notes what it shows and presses
// `answer`. Polls, since the box opens only once the call under test runs its own loop.
class CBoxUser {
public:
    explicit CBoxUser(QMessageBox::StandardButton answer)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_poll.stop();
            seen = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            box->button(answer)->click();
        });
        m_poll.start(5);
    }

    SSeenBox seen;

private:
    QTimer m_poll;
};

}  // namespace

TEST(QtUserPrompt, MessageIsAnInformationBoxWithOk)
{
    CQtUserPrompt prompt;
    CBoxUser user(QMessageBox::Ok);
    prompt.show_message("Message", "Successful !");
    ASSERT_TRUE(user.seen.shown);
    EXPECT_EQ(user.seen.title, "Message");
    EXPECT_EQ(user.seen.text, "Successful !");
    EXPECT_EQ(user.seen.icon, QMessageBox::Information);
    EXPECT_EQ(user.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(QtUserPrompt, QuestionIsTrueOnlyForYes)
{
    CQtUserPrompt prompt;
    for (auto answer : {QMessageBox::Yes, QMessageBox::No}) {
        CBoxUser user(answer);
        const bool yes = prompt.ask_yes_no("Delete", "Continue to delete song 'Song 001' ?");
        ASSERT_TRUE(user.seen.shown);
        EXPECT_EQ(yes, answer == QMessageBox::Yes);
        EXPECT_EQ(user.seen.title, "Delete");
        EXPECT_EQ(user.seen.text, "Continue to delete song 'Song 001' ?");
        EXPECT_EQ(user.seen.buttons, QMessageBox::Yes | QMessageBox::No);
    }
}
