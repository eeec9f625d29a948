#include "core/online/http_xml_file.h"
#include "core/online/my_http.h"
#include "core/online/update_server.h"
#include "test_desktop.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <list>
#include <string>
#include "test_wait.h"

namespace {

using Entries = std::list<std::string>;

Entries entries_of(const QByteArray& xml, const char* filter)
{
    CHttpXmlFile list;
    EXPECT_TRUE(list.open(xml)) << xml.constData();
    Entries entries{"left over"};
    EXPECT_TRUE(list.get_file_in_folder(filter, entries));
    return entries;
}

struct SListCase {
    const char* name;
    const char* xml;
    const char* filter;
    Entries expected;
};

class FirmwareList : public ::testing::TestWithParam<SListCase> {};

}  // namespace

TEST_P(FirmwareList, Entries)
{
    EXPECT_EQ(entries_of(GetParam().xml, GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FirmwareList,
    ::testing::Values(
        SListCase{"OwnFilesBeforeSubFolders",
                  "<root><dir name='00012'><dir name='B'><file>C</file></dir><file>A</file></dir></root>",
                  nullptr,
                  {"00012/A", "00012/B/C"}},
        SListCase{"FilterIsASubstring",
                  "<root><dir name='00012'><file>A</file></dir><dir name='100012'><file>D</file></dir>"
                  "<dir name='00013'><file>E</file></dir></root>",
                  "00012",
                  {"00012/A", "100012/D"}},
        SListCase{
            "EntitiesAndWhiteSpace",
            "<root>\n <dir name='a&amp;b'>\n  <file>\n   PEDAL   V1 &lt;new&gt;\n  </file>\n </dir>\n</root>",
            nullptr,
            {"a&b/PEDAL V1 <new>"}},
        SListCase{"NoRootNoEntries", "<list><dir name='00012'><file>A</file></dir></list>", nullptr, {}},
        SListCase{"NamelessFolderAndEmptyFileSkipped",
                  "<root><dir><file>lost</file><dir name='x'><file>lost too</file></dir></dir>"
                  "<dir name='00012'><file/><file>  </file><file>A</file></dir></root>",
                  nullptr,
                  {"00012/A"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareListFile, BrokenXmlAndMissingFileDoNotOpen)
{
    CHttpXmlFile list;
    EXPECT_FALSE(list.open(QByteArray("<root><dir name='a'></root>")));
    EXPECT_FALSE(list.open(QByteArray()));
    EXPECT_FALSE(list.open(QStringLiteral("/nonexistent/path.xml")));

    QTemporaryDir folder;
    QFile file(folder.filePath("path.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<root><dir name='7'><file>F</file></dir></root>");
    file.close();
    ASSERT_TRUE(list.open(file.fileName()));
    Entries entries;
    EXPECT_TRUE(list.get_file_in_folder(nullptr, entries));
    EXPECT_EQ(entries, Entries({"7/F"}));
}

TEST(BlockingDownload, BodyOnSuccessNothingOnFailure)
{
    CHttpTestServer server;
    server.serve("/a/b.dat", QByteArray("\x00\x01zz", 4));
    CMyHttp http(UPDATE_SERVER::kSmallFileLimits);
    QByteArray data = "stale";
    EXPECT_TRUE(http.download_file(server.base() + "/a/b.dat", data).ok());
    EXPECT_EQ(data, QByteArray("\x00\x01zz", 4));

    data = "stale";
    EXPECT_FALSE(http.download_file(server.base() + "/missing.dat", data).ok());
    EXPECT_TRUE(data.isEmpty());
    EXPECT_FALSE(http.download_file("http://127.0.0.1:9/refused", data).ok());
    EXPECT_EQ(server.requests(), QStringList({"/a/b.dat", "/missing.dat"}));
}

struct SVersionCase {
    const char* name;
    QByteArray file;
    const char* question;  // null: none is asked
};

class UpdateCheck : public WindowWithPedals {
protected:
    // The window, watched from before its first event: the version file's reply may come
    // while its first look for the pedal runs.
    void make_watched_window()
    {
        make_window(false);
        qRegisterMetaType<QNetworkReply*>();
        m_finished = std::make_unique<QSignalSpy>(m_window->findChild<QNetworkAccessManager*>(),
                                                  &QNetworkAccessManager::finished);
        wait_until_idle();
    }
    // The version file's reply, handled by the window.
    void wait_for_check()
    {
        if (m_finished->isEmpty()) {
            ASSERT_TRUE(m_finished->wait(5000));
        }
        QCoreApplication::processEvents();
    }
    // A newer version's question, which waits while the window's first look for the pedal
    // still runs.
    void wait_for_question() { wait_or_fail([this] { return !m_prompt.shown().empty(); }); }
    std::unique_ptr<QSignalSpy> m_finished;
};

class ProgramUpdateCheck : public UpdateCheck, public ::testing::WithParamInterface<SVersionCase> {};

TEST_P(ProgramUpdateCheck, AsksOnlyForANewerVersionAndOpensTheArchiveOnYes)
{
    m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, GetParam().file);
    m_prompt.answer_yes_no(true);
    make_watched_window();
    wait_for_check();
    EXPECT_EQ(m_server.requests(), QStringList({UPDATE_SERVER::EXE_INFO_PATH}));
    if (!GetParam().question) {
        EXPECT_TRUE(m_prompt.shown().empty());
        EXPECT_TRUE(m_desktop.opened.empty());
        return;
    }
    wait_for_question();
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].kind, CScriptedPrompt::EKind::QUESTION);
    EXPECT_EQ(m_prompt.shown()[0].title, "New version...");
    EXPECT_EQ(m_prompt.shown()[0].text, GetParam().question);
    ASSERT_EQ(m_desktop.opened.size(), 1u);
    EXPECT_EQ(m_desktop.opened[0], QUrl(m_server.base() + "/Tandora/Tandora.zip"));
}

INSTANTIATE_TEST_SUITE_P(
    VersionFiles, ProgramUpdateCheck,
    ::testing::Values(SVersionCase{"Newer", "name=Tandora\nversion=1.8\n",
                                   "A new version(V1.80) is available, would you like to download ?"},
                      SVersionCase{"SameWithTrailingZero", "version=1.70", nullptr},
                      SVersionCase{"DecimalNotDotted", "version=1.10", nullptr},
                      SVersionCase{"LineAfterTheVersionReadsZero", "version=1.8\nchannel=beta\n", nullptr},
                      SVersionCase{"NoVersionKey", "Version=2.0", nullptr},
                      SVersionCase{"TextAfterNulIgnored", QByteArray("version=2.5\0trailing", 20),
                                   "A new version(V2.50) is available, would you like to download ?"},
                      SVersionCase{"VersionOnlyAfterNul", QByteArray("x\0version=9.0", 13), nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateCheck, NoQuestionWhenTheUserSaysNoOrTheFileIsMissing)
{
    make_watched_window();
    wait_for_check();
    EXPECT_TRUE(m_prompt.shown().empty());

    m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, "version=3.0");
    m_window.reset();
    make_watched_window();
    wait_for_check();
    wait_for_question();
    EXPECT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_TRUE(m_desktop.opened.empty());
}

TEST_F(UpdateCheck, AnEndlessVersionFileIsCutOffAndAsksNothing)
{
    m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, SHttpReply::endless());
    make_watched_window();
    wait_for_check();
    EXPECT_TRUE(m_prompt.shown().empty());
}

TEST_F(UpdateCheck, QuestionWaitsUntilTheWindowIsIdle)
{
    m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, "version=3.0");
    make_watched_window();
    driver().hold_work(WORK_DOWNLOAD_SONG);
    wait_for_check();
    EXPECT_TRUE(m_prompt.shown().empty());
    driver().release_work();
    wait_or_fail([&] { return m_prompt.shown().size() == size_t{1}; });
}

namespace {

SPedalConfig pedal_with_id(uint32_t product_id)
{
    SPedalConfig config;
    config.product_id = product_id;
    return config;
}

class OnlineFirmwareList : public WindowWithPedals {
protected:
    QComboBox* box() const { return widget<QComboBox>("m_comNewSoftware"); }
    QStringList shown() const
    {
        QStringList items;
        for (int i = 0; i < box()->count(); ++i)
            items << box()->itemText(i);
        return items;
    }
    bool local_ticked() const { return widget<QCheckBox>("m_btnSelLocal")->isChecked(); }
    bool box_visible() const { return !box()->isHidden(); }
};

const QByteArray kList =
    "<root><dir name='10002'><dir name='B'><file>C</file></dir><file>A</file></dir>"
    "<dir name='110002'><file>PEDAL_V1.2.3</file></dir><dir name='10003'><file>Other</file></dir></root>";

}  // namespace

TEST_F(OnlineFirmwareList, ModelEntriesWithTheirServerPaths)
{
    m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH, kList);
    add_pedal(pedal_with_id(0x2712));
    make_window();
    EXPECT_EQ(shown(), QStringList({"A", "C", "PEDAL_V1.2.3"}));
    EXPECT_EQ(box()->currentIndex(), 0);
    EXPECT_EQ(
        driver().firmware_files(),
        std::vector<QString>({"/talvo_update/Firmware/10002/A.dat", "/talvo_update/Firmware/10002/B/C.dat",
                              "/talvo_update/Firmware/110002/PEDAL_V1.2.3.dat"}));
    EXPECT_FALSE(local_ticked());
    EXPECT_TRUE(box_visible());
    EXPECT_TRUE(m_prompt.shown().empty());

    // A reconnection rebuilds both lists side by side, never appending to stale items.
    driver().init_firmware_list();
    EXPECT_EQ(box()->count(), 3);
    EXPECT_EQ(driver().firmware_files().size(), 3u);
}

TEST_F(OnlineFirmwareList, UnknownModelSwitchesToTheLocalFile)
{
    m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH, kList);
    add_pedal(pedal_with_id(0x1234));
    make_window();
    EXPECT_TRUE(local_ticked());
    EXPECT_FALSE(box_visible());
    EXPECT_FALSE(widget<QLineEdit>("m_editPath")->isHidden());
    EXPECT_EQ(box()->count(), 0);
}

TEST_F(OnlineFirmwareList, BrokenListIsReportedUnreachableListIsNot)
{
    add_pedal(pedal_with_id(0x2712));
    make_window();
    EXPECT_TRUE(m_prompt.shown().empty());
    EXPECT_EQ(box()->count(), 0);
    EXPECT_FALSE(local_ticked());
    EXPECT_EQ(m_server.requests().count(UPDATE_SERVER::FIRMWARE_LIST_PATH), 1);

    m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH, "<root><dir name='10002'>");
    driver().init_firmware_list();
    EXPECT_EQ(m_prompt.messages(), QStringList({"Open web firmware info failed !"}));
    EXPECT_EQ(box()->count(), 0);
}
