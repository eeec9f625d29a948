#include "firmware_update_fixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <string>
#include <utility>

namespace {

const char kEntry[] = "/talvo_update/Firmware/10002/PEDAL_V1.2.3.dat";
// A pedal whose information was not read has the product ID 0xFFFFFFFF, "-0001" in the
// list's folder form.
const char kUnreadEntry[] = "/talvo_update/Firmware/-0001/PEDAL_V1.2.3.dat";
const char kQuestion[] =
    "The selected firmware version less or equal to the connected device, still update ?";

struct SOnlineCase {
    const char* name;
    uint32_t pedal_version;
    bool info_unread;
    bool asked;
    bool yes;
    QStringList messages;
};

class OnlineUpdate : public OnlineSource, public ::testing::WithParamInterface<SOnlineCase> {};

}  // namespace

TEST_P(OnlineUpdate, QuestionDownloadAndInstall)
{
    CPedalEmulator& pedal = start_online(GetParam().pedal_version, GetParam().info_unread);
    ASSERT_EQ(widget<QComboBox>("m_comNewSoftware")->currentText(), "PEDAL_V1.2.3");
    const char* entry = GetParam().info_unread ? kUnreadEntry : kEntry;
    QString error;
    QByteArray bytes;
    ASSERT_TRUE(make_pack_file("10002", {kGood}, bytes, error));
    m_server.serve(entry, bytes);
    if (GetParam().asked)
        m_prompt.answer_yes_no(GetParam().yes);
    // Yes to writing the package once it has come.
    m_prompt.answer_yes_no(true);
    widget<QPushButton>("m_btnUpdate")->click();
    wait_until_idle();

    const auto& shown = m_prompt.shown();
    const bool questioned = !shown.empty() && shown[0].text == kQuestion;
    EXPECT_EQ(questioned, GetParam().asked);
    if (questioned) {
        EXPECT_EQ(shown[0].kind, CScriptedPrompt::EKind::QUESTION);
        EXPECT_EQ(shown[0].title, "Update");
    }
    EXPECT_EQ(m_prompt.messages(), GetParam().messages);
    const bool installed = !GetParam().messages.isEmpty();
    EXPECT_EQ(m_server.requests().count(entry), installed ? 1 : 0);
    if (installed)
        expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);
    else
        EXPECT_TRUE(pedal.command_log().empty());
    expect_ended();
}

INSTANTIATE_TEST_SUITE_P(
    Versions, OnlineUpdate,
    ::testing::Values(
        SOnlineCase{"SameVersionAsksYes", 0x010203, false, true, true, {kSuccessfulSameVersion}},
        SOnlineCase{"SameVersionAsksNo", 0x010203, false, true, false, {}},
        SOnlineCase{"NewerEntryAsksNothing", 0x010202, false, false, false, {kSuccessfulSameVersion}},
        SOnlineCase{"UnreadVersionAsks", 0x010202, true, true, true, {"Successful!"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnlineSource, FailedDownloadAndClicksDuringTheDownload)
{
    CPedalEmulator& pedal = start_online(0x010000, false);
    widget<QPushButton>("m_btnUpdate")->click();
    wait_until_idle();
    // The result's second line says what went wrong with the download.
    const QStringList failed = m_prompt.messages();
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[0], "Download firmware failed !");
    EXPECT_TRUE(failed[1].startsWith("Failed!\n") && failed[1].size() > 8) << failed[1].toStdString();
    expect_ended();

    // While the package downloads, the window is in the update already.
    QString error;
    QByteArray bytes;
    ASSERT_TRUE(make_pack_file("10002", {kGood}, bytes, error));
    m_server.serve(kEntry, bytes);
    CUserDuringWork user(*m_window, {"m_btnUpdate"});
    m_server.on_request = [&user](const QString&) { user.act(); };
    m_prompt.clear();
    m_prompt.answer_yes_no(true);
    widget<QPushButton>("m_btnUpdate")->click();
    wait_until_idle();
    ASSERT_TRUE(user.acted);
    EXPECT_FALSE(user.song_tab);
    EXPECT_EQ(m_server.requests().count(kEntry), 2);
    EXPECT_EQ(m_prompt.messages(), QStringList({kSuccessfulSameVersion}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kErase), 1u);
    expect_ended();
}
