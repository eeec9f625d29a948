#include "core/firmware_update/firmware_catalog.h"
#include "core/firmware_update/firmware_package_download.h"
#include "core/online/program_update_check.h"
#include "download_run.h"
#include "http_test_server.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <utility>

namespace {

const QByteArray kList =
    "<root><dir name='10002'><dir name='B'><file>C_V2.0.0</file></dir><file>PEDAL_V1.2.3</file></dir>"
    "<dir name='110002'><file>PEDAL-V1.3.0-BETA</file></dir><dir "
    "name='10003'><file>Other</file></dir></root>";
constexpr unsigned kKnownModel = 10002;

std::vector<std::pair<QString, QString>> names_and_paths(const std::vector<SFirmwareEntry>& entries)
{
    std::vector<std::pair<QString, QString>> pairs;
    for (const SFirmwareEntry& entry : entries)
        pairs.emplace_back(entry.name, entry.server_path);
    return pairs;
}

// Every download of these tests goes to a server of the test, and a package's
// temporary file to a folder of the test, checked empty afterwards.
class OnlineServer : public ::testing::Test {
protected:
    OnlineServer()
    {
        UPDATE_SERVER::set_base(m_server.base());
        m_old_temp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
    }
    ~OnlineServer() override
    {
        qputenv("TMPDIR", m_old_temp);
        UPDATE_SERVER::set_base(QStringLiteral("http://127.0.0.1:9"));
    }
    QStringList temp_files() const { return QDir(m_temp.path()).entryList(QDir::Files | QDir::Hidden); }

    CHttpTestServer m_server;
    QTemporaryDir m_temp;
    QByteArray m_old_temp;
    CTask m_task;
};

}  // namespace

TEST(FirmwareCatalog, EntriesOfTheModelWithPathsAndVersions)
{
    const SFirmwareCatalog catalog = read_firmware_catalog(kList, kKnownModel);
    ASSERT_EQ(catalog.result, ECatalogResult::OK);
    const std::vector<SFirmwareEntry>& entries = catalog.entries;
    const std::vector<std::pair<QString, QString>> expected = {
        {"PEDAL_V1.2.3", "/talvo_update/Firmware/10002/PEDAL_V1.2.3.dat"},
        {"C_V2.0.0", "/talvo_update/Firmware/10002/B/C_V2.0.0.dat"},
        {"PEDAL-V1.3.0-BETA", "/talvo_update/Firmware/110002/PEDAL-V1.3.0-BETA.dat"}};
    EXPECT_EQ(names_and_paths(entries), expected);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].version, 0x010203u);
    EXPECT_EQ(entries[2].version, 0x010300u);
}

// A name is shown without the characters that would move a terminal's cursor or turn the
// reading direction; the server's path keeps them, since the file is called so.
TEST(FirmwareCatalog, EntryNamesLoseControlCharacters)
{
    const SFirmwareCatalog catalog = read_firmware_catalog(
        "<root><dir name='10002'><file>P&#27;[2J_V1.0.0&#x202E;lmth</file></dir></root>", kKnownModel);
    ASSERT_EQ(catalog.entries.size(), 1u);
    EXPECT_EQ(catalog.entries[0].name, "P[2J_V1.0.0lmth");
    EXPECT_EQ(catalog.entries[0].server_path, QString::fromUtf8("/talvo_update/Firmware/10002/P\x1b[2J_V1.0.0"
                                                                "\u202Elmth.dat"));
}

// A list of a few files in one folder, `name` repeated `name_repeat` times as the folder.
QByteArray list_of(int files, const char* name = "x", int name_repeat = 1)
{
    QByteArray list = "<root><dir name='10002'><dir name='" + QByteArray(name).repeated(name_repeat) + "'>";
    for (int file = 0; file < files; ++file)
        list += "<file>F</file>";
    return list + "</dir></dir></root>";
}

TEST(FirmwareCatalog, VersionReadFromTheName)
{
    const std::pair<const char*, unsigned> cases[] = {
        {"PEDAL_V1.2.3", 0x010203},       {"PEDAL-V1.2.3-BETA", 0x010203}, {"PEDAL_V1.2.3_2019", 0x010203},
        {"pedal_v1.2.3.DAT", 0x01020300}, {"PEDAL-X_V2.0.1", 0x020001},    {"PEDAL1.2.3", 0},
        {"PEDAL_Vx.2", 0x0002},
    };
    for (const auto& [name, version] : cases)
        EXPECT_EQ(get_verion_from_file_name(name), version) << name;
}

TEST_F(OnlineServer, CatalogResults)
{
    const char* const kTooLarge = "The firmware list is too large or malformed.";
    const struct {
        const char* name;
        QByteArray list;  // empty: not served
        unsigned product;
        ECatalogResult result;
        const char* message;
        size_t entries;
    } cases[] = {
        {"Known", kList, kKnownModel, ECatalogResult::OK, "", 3},
        {"UnknownModel", kList, 0x1234, ECatalogResult::UNKNOWN_MODEL, "", 0},
        {"Broken", "<root><dir name='10002'>", kKnownModel, ECatalogResult::LIST_BROKEN,
         "Open web firmware info failed !", 0},
        {"Missing", "", kKnownModel, ECatalogResult::DOWNLOAD_FAILED,
         "The update server answered 404 Not Found.", 0},
        {"MostEntries", list_of(10000), kKnownModel, ECatalogResult::OK, "", 10000},
        {"TooManyEntries", list_of(10001), kKnownModel, ECatalogResult::LIST_BROKEN, kTooLarge, 0},
        {"LongestFolderPath", list_of(1, "x", 1017), kKnownModel, ECatalogResult::OK, "", 1},
        {"FolderPathTooLong", list_of(1, "x", 1018), kKnownModel, ECatalogResult::LIST_BROKEN, kTooLarge, 0},
        {"FileNameTooLong", "<root><dir name='10002'><file>" + QByteArray(1025, 'F') + "</file></dir></root>",
         kKnownModel, ECatalogResult::LIST_BROKEN, kTooLarge, 0},
        // 1000 three-byte characters: the entries' texts pass 16 MiB before 10,000 entries.
        {"TextTooLarge", list_of(6000, "\xE2\x82\xAC", 1000), kKnownModel, ECatalogResult::LIST_BROKEN,
         kTooLarge, 0},
    };
    for (const auto& test : cases) {
        m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH, test.list.isEmpty()
                                                              ? SHttpReply::redirect(404, "")
                                                              : SHttpReply::announcing(-1, test.list));
        SFirmwareCatalog catalog;
        ASSERT_TRUE(run_in_worker(m_task, [&] { catalog = fetch_firmware_catalog(test.product, &m_task); }));
        EXPECT_EQ(catalog.result, test.result) << test.name;
        EXPECT_EQ(catalog.message, test.message) << test.name;
        EXPECT_EQ(catalog.entries.size(), test.entries) << test.name;
    }
}

TEST_F(OnlineServer, AnEndlessListStopsAtFourMegabytes)
{
    m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH, SHttpReply::endless());
    SFirmwareCatalog catalog;
    ASSERT_TRUE(run_in_worker(m_task, [&] { catalog = fetch_firmware_catalog(kKnownModel, &m_task); }));
    EXPECT_EQ(catalog.result, ECatalogResult::DOWNLOAD_FAILED);
    EXPECT_EQ(catalog.message, "The download is larger than 4 MB and was stopped.");
    EXPECT_LE(m_task.progress().bytes_done, uint64_t{4 << 20});
}

TEST_F(OnlineServer, PackageLandsInATemporaryFileRemovedOnRelease)
{
    const QByteArray package(200000, 'p');
    m_server.serve("/talvo_update/Firmware/10002/P.dat", package);
    SPackageDownload download;
    ASSERT_TRUE(run_in_worker(m_task, [&] {
        download = download_firmware_package("/talvo_update/Firmware/10002/P.dat", &m_task);
    }));
    ASSERT_TRUE(download.result.ok()) << qPrintable(download.result.message);
    ASSERT_TRUE(download.file);
    EXPECT_EQ(QFileInfo(download.file->fileName()).absolutePath(),
              QFileInfo(m_temp.path()).absoluteFilePath());
    QFile file(download.file->fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), package);
    EXPECT_EQ(m_task.progress().bytes_done, static_cast<uint64_t>(package.size()));
    download.file.reset();
    EXPECT_TRUE(temp_files().isEmpty());
}

TEST_F(OnlineServer, AFailedPackageLeavesNoFile)
{
    m_server.serve("/big.dat", SHttpReply::endless());
    SPackageDownload download;
    const SDownloadLimits limits{1 << 20, 60000, 60000};
    ASSERT_TRUE(
        run_in_worker(m_task, [&] { download = download_firmware_package("/big.dat", &m_task, limits); }));
    EXPECT_EQ(download.result.outcome, EDownloadOutcome::TOO_LARGE);
    EXPECT_FALSE(download.file);
    EXPECT_TRUE(temp_files().isEmpty());
}

TEST_F(OnlineServer, ProgramUpdateCheck)
{
    const struct {
        const char* file;  // null: not served
        UPDATE_SERVER::EVersionFile version;
        float newest;
        bool newer;
    } cases[] = {
        {"name=Tandora\nversion=1.8\n", UPDATE_SERVER::EVersionFile::NUMBER, 1.8f, true},
        {"version=1.70", UPDATE_SERVER::EVersionFile::NUMBER, 1.7f, false},
        {"version=1.8\nchannel=beta", UPDATE_SERVER::EVersionFile::NOT_A_NUMBER, 0, false},
        {"version=abc", UPDATE_SERVER::EVersionFile::NOT_A_NUMBER, 0, false},
        {"version=-3", UPDATE_SERVER::EVersionFile::NOT_A_NUMBER, 0, false},
        {"Version=2.0", UPDATE_SERVER::EVersionFile::NO_VERSION, 0, false},
        {nullptr, UPDATE_SERVER::EVersionFile::NO_VERSION, 0, false},
    };
    for (const auto& test : cases) {
        const char* what = test.file ? test.file : "(no version file)";
        if (test.file)
            m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, QByteArray(test.file));
        else
            m_server.serve(UPDATE_SERVER::EXE_INFO_PATH, SHttpReply::redirect(404, ""));
        SProgramUpdate update;
        ASSERT_TRUE(run_in_worker(m_task, [&] { update = check_program_update(&m_task); }));
        EXPECT_EQ(update.download.ok(), test.file != nullptr) << what;
        EXPECT_EQ(update.version, test.version) << what;
        EXPECT_FLOAT_EQ(update.newest, test.newest) << what;
        EXPECT_EQ(update.newer, test.newer) << what;
        if (update.newer) {
            EXPECT_EQ(update.archive, QUrl(m_server.base() + "/Tandora/Tandora.zip"));
        }
    }
}
