#include "window_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

namespace {

using EKind = CScriptedPrompt::EKind;

class BackupWindow : public WindowWithPedals {
protected:
    void SetUp() override
    {
        QFile::remove(config_path());
        ASSERT_TRUE(m_files.isValid());
        SPedalConfig config;
        config.product_id = kPulseRing;
        add_pedal(config);
        make_window().show();
    }
    void TearDown() override { QFile::remove(config_path()); }
    static QString config_path() { return QCoreApplication::applicationDirPath() + "/Config.ini"; }

    void store(unsigned slot, unsigned bytes)
    {
        std::vector<unsigned char> song(bytes);
        for (unsigned i = 0; i < bytes; ++i)
            song[i] = static_cast<unsigned char>(i * 13 + slot);
        ASSERT_EQ(driver().songs().write_file(slot, song.data(), bytes, nullptr), LOOPER_RESULT_OK);
        driver().load_data_from_device();
    }
    std::vector<unsigned char> stored_song(unsigned slot)
    {
        std::vector<unsigned char> song(driver().songs().get_file_length(slot));
        EXPECT_EQ(driver().songs().read_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr),
                  LOOPER_RESULT_OK);
        return song;
    }
    void click(const char* button)
    {
        QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
        wait_until_idle();
    }

    QTemporaryDir m_files;
};

}  // namespace

// The backup goes into a new folder named after the model and the time, in the folder the
// user picked; the restore asks once, shows the slots it changes, and puts the songs back
// while the firmware page is shut and the bar shows the work.
TEST_F(BackupWindow, BacksUpIntoADatedFolderAndRestoresAfterAsking)
{
    store(0, 5000);
    store(2, 300000);
    const std::vector<unsigned char> first = stored_song(0);
    const std::vector<unsigned char> third = stored_song(2);
    m_prompt.clear();
    m_prompt.answer_file(m_files.path());
    click("m_btnBackup");
    ASSERT_EQ(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[0].kind, EKind::FOLDER);
    ASSERT_EQ(m_prompt.messages().size(), 1);
    EXPECT_TRUE(m_prompt.messages()[0].startsWith("Backup complete: 2 songs in"))
        << m_prompt.messages()[0].toStdString();
    EXPECT_EQ(read_config("/Config/BackupDir"), m_files.path());
    const QStringList made = QDir(m_files.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(QRegularExpression("^Tandora backup PULSE RING \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d$")
                    .match(made[0])
                    .hasMatch())
        << made[0].toStdString();

    ASSERT_EQ(driver().songs().delete_file(0), LOOPER_RESULT_OK);
    store(2, 7000);
    m_prompt.clear();
    m_prompt.answer_file(QDir(m_files.path()).filePath(made[0]));
    m_prompt.answer_yes_no(true);
    CUserDuringWork user(*m_window, {"m_btnBackup", "m_btnRestore", "m_btnDelete"});
    m_window->work_runner().installEventFilter(&user);
    click("m_btnRestore");
    ASSERT_EQ(m_prompt.shown().size(), 3u);
    EXPECT_EQ(m_prompt.shown()[1].kind, EKind::QUESTION);
    EXPECT_TRUE(m_prompt.shown()[1].text.contains("Replaced: Song 003\nWritten into empty slots: Song 001"))
        << m_prompt.shown()[1].text.toStdString();
    EXPECT_EQ(m_prompt.shown()[2].text,
              "Restore complete: 2 slots restored.\nSong 003: restored\nSong 001: restored");
    ASSERT_TRUE(user.acted);
    EXPECT_TRUE(user.bar_shown);
    EXPECT_FALSE(user.firmware_tab);
    EXPECT_EQ(stored_song(0), first);
    EXPECT_EQ(stored_song(2), third);
}

TEST_F(BackupWindow, VerifyAfterImportIsOffUntilTickedAndRemembered)
{
    QCheckBox* verify = widget<QCheckBox>("m_chkVerifyImport");
    ASSERT_NE(verify, nullptr);
    EXPECT_EQ(verify->text(), "Verify after import");
    EXPECT_FALSE(verify->isChecked());
    QTest::mouseClick(verify, Qt::LeftButton);
    EXPECT_EQ(read_config("/Config/VerifyImport"), "true");
    m_window.reset();
    make_window();
    EXPECT_TRUE(widget<QCheckBox>("m_chkVerifyImport")->isChecked());
}
