#include "app/qt_user_prompt.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
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

// The dialog shows the text and the table's cells under their headings; Yes alone says yes.
// A dialog without them is closed, so the test fails rather than waits.
TEST(QtUserPrompt, TableQuestionShowsTheCellsAndIsTrueOnlyForYes)
{
    CQtUserPrompt prompt;
    const SQuestionTable table{{"Slot", "Why"}, {{"Song 001", "new"}, {"Song 002", "moved"}}};
    for (const auto answer : {QDialogButtonBox::Yes, QDialogButtonBox::No}) {
        QStringList seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            const auto* label = dialog->findChild<QLabel*>("m_labelQuestion");
            const auto* cells = dialog->findChild<QTableWidget*>("m_tableQuestion");
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            if (!label || !cells || !buttons) {
                dialog->reject();
                return;
            }
            seen << dialog->windowTitle() << label->text();
            for (int column = 0; column < cells->columnCount(); ++column)
                seen << cells->horizontalHeaderItem(column)->text();
            for (int row = 0; row < cells->rowCount(); ++row)
                for (int column = 0; column < cells->columnCount(); ++column)
                    seen << cells->item(row, column)->text();
            buttons->button(answer)->click();
        });
        poll.start(5);
        const bool yes = prompt.ask_yes_no_table("Sync set list", "Sync?", table, "Sync? in words");
        EXPECT_EQ(yes, answer == QDialogButtonBox::Yes);
        EXPECT_EQ(seen, QStringList({"Sync set list", "Sync?", "Slot", "Why", "Song 001", "new", "Song 002",
                                     "moved"}));
    }
}
