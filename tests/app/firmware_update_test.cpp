#include "app/update_server.h"
#include "firmware/pack_builder.h"
#include "hex_diff.h"
#include "support/neat.h"
#include "support/progress_event.h"
#include "test_desktop.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <optional>
#include <utility>

namespace {

constexpr uint32_t kPulseRing = 0x2712;  // "10002" in the list's folders
constexpr uint8_t kErase = 0x21;
constexpr uint8_t kWrite = 0x22;
constexpr uint8_t kRead = 0x23;
constexpr uint8_t kChecksum = 0x24;
constexpr unsigned kSystem = 0;
constexpr unsigned kNand = 1;

QByteArray layout(unsigned type, uint32_t start, uint32_t end, uint32_t sector)
{
    return QString::asprintf("[FLASH 1]\nTYPE=%u\nStart Address=0x%X\nEnd Address=0x%X\nSector Size=0x%X\n",
                             type, start, end, sector)
        .toLatin1();
}

QByteArray image(int size, uint8_t seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
    return bytes;
}

void expect_bytes(const Bytes& actual, const QByteArray& image)
{
    const Bytes expected(image.begin(), image.end());
    EXPECT_EQ(actual, expected) << hex_diff(actual, expected);
}

using Sections = std::vector<SPackSection>;
using Range = std::pair<uint32_t, uint32_t>;  // address, length

SPedalConfig pulse_ring(uint32_t version = 0x010203)
{
    SPedalConfig config;
    config.product_id = kPulseRing;
    config.firmware_version = version;
    return config;
}

class FirmwareUpdate : public WindowWithPedals {
protected:
    // The temporary folder of the update is the test's own, so other programs' files
    // there cannot be taken for ours.
    void SetUp() override
    {
        ASSERT_TRUE(m_files.isValid());
        ASSERT_TRUE(QDir(m_files.path()).mkdir("tmp"));
        m_oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_files.filePath("tmp").toLocal8Bit());
        ASSERT_EQ(QDir::tempPath(), m_files.filePath("tmp"));
    }
    void TearDown() override
    {
        if (m_oldTemp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_oldTemp);
    }

    // The connected window, with the pedal's log and the boxes of the start forgotten.
    CPedalEmulator& start(const SPedalConfig& config = pulse_ring(),
                          std::optional<SPedalFault> start_fault = std::nullopt)
    {
        CPedalEmulator& pedal = add_pedal(config);
        if (start_fault)
            pedal.add_fault(*start_fault);
        make_window();
        pedal.wait_until_idle();
        pedal.clear_faults();
        pedal.clear_command_log();
        m_prompt.clear();
        return pedal;
    }
    QString package(const Sections& sections, const QByteArray& product = "10002")
    {
        const QString path = m_files.filePath("firmware.dat");
        QString error;
        EXPECT_TRUE(write_pack_file(path, product, sections, error)) << error.toStdString();
        return path;
    }
    void update_local(const QString& path)
    {
        widget<QCheckBox>("m_btnSelLocal")->setChecked(true);
        widget<QLineEdit>("m_editPath")->setText(path);
        widget<QPushButton>("m_btnUpdate")->click();
    }
    std::vector<uint32_t> erases() const
    {
        std::vector<uint32_t> addresses;
        for (const auto& entry : m_pedals.front()->command_log())
            if (entry.command == kErase)
                addresses.push_back(entry.address);
        return addresses;
    }
    std::vector<Range> writes(unsigned type) const
    {
        std::vector<Range> ranges;
        for (const auto& entry : m_pedals.front()->command_log())
            if (entry.command == kWrite && entry.flash_type == type)
                ranges.emplace_back(entry.address, entry.length);
        return ranges;
    }
    // The update ended: idle, bar hidden, song page back, no temporary file left behind.
    void expect_ended() const
    {
        EXPECT_EQ(m_probe->work_state(), TandoraQT::WORK_IDLE);
        EXPECT_TRUE(widget<QProgressBar>("progressBar")->isHidden());
        EXPECT_TRUE(widget<QTabWidget>("propSheet")->isTabEnabled(0));
        EXPECT_EQ(QDir(NEAT::GetAppDir()).entryList({"~*"}, QDir::Files | QDir::Hidden), QStringList());
        EXPECT_EQ(QDir(m_files.filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList());
    }

    QTemporaryDir m_files;
    QByteArray m_oldTemp;
    CTestDesktop m_desktop;
};

}  // namespace

TEST_F(FirmwareUpdate, ErasesAscendingWritesDescendingFirstSectorLastAndImagesLand)
{
    CPedalEmulator& pedal = start();
    // The first section starts higher and is longer than its first sector.
    const QByteArray high = image(0x900, 1);
    const QByteArray low = image(0x300, 2);
    QSignalSpy bar(widget<QProgressBar>("progressBar"), &QProgressBar::valueChanged);
    update_local(
        package({{layout(kSystem, 0x2000, 0x3000, 0x800), high}, {layout(kSystem, 0, 0x800, 0x800), low}}));

    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    EXPECT_EQ(erases(), std::vector<uint32_t>({0x0000, 0x2000, 0x2800}));
    EXPECT_EQ(writes(kSystem), std::vector<Range>({{0x2800, 0x100}, {0x2000, 0x800}, {0x0000, 0x300}}));
    // From 0, each section's erase runs the bar up to 80, sector by sector; the writes fill the rest.
    QList<int> positions;
    for (const QList<QVariant>& change : bar)
        positions << change.at(0).toInt();
    EXPECT_EQ(positions, QList<int>({0, 80, 40, 80, 100}));
    expect_bytes(pedal.program_flash().read(0x2000, 0x900), high);
    expect_bytes(pedal.program_flash().read(0, 0x300), low);
    expect_ended();
}

TEST_F(FirmwareUpdate, NandSectionIsWrittenInWholePagesOnce)
{
    CPedalEmulator& pedal = start();
    const QByteArray data = image(3 * 5120 + 100, 3);
    update_local(package({{layout(kNand, 0x40000, 0x80000, 0x40000), data}}));

    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    EXPECT_EQ(erases(), std::vector<uint32_t>({0x40000}));
    uint32_t next = 0x40000;
    for (const Range& write : writes(kNand)) {
        EXPECT_EQ(write.first, next);
        EXPECT_EQ(write.first % pedal.nand().geometry().page_size, 0u);
        next += write.second;
    }
    EXPECT_EQ(next, 0x40000u + data.size());
    EXPECT_EQ(pedal.nand().double_program_count(), 0u);
    expect_bytes(pedal.nand().read(0x40000, data.size()), data);
    expect_ended();
}

namespace {

struct SOutcomeCase {
    const char* name;
    Sections sections;
    QByteArray product;
    std::optional<SPedalFault> fault;
    bool shift;
    QStringList messages;
    size_t erase_count;
    size_t write_count;
};

const QByteArray kSmall = image(0x200, 4);
const SPackSection kGood{layout(kSystem, 0x10000, 0x10800, 0x800), kSmall};

class UpdateOutcome : public FirmwareUpdate, public ::testing::WithParamInterface<SOutcomeCase> {};

}  // namespace

TEST_P(UpdateOutcome, MessagesAndFlashCommands)
{
    CPedalEmulator& pedal = start();
    if (GetParam().fault)
        pedal.add_fault(*GetParam().fault);
    m_desktop.held = GetParam().shift ? Qt::ShiftModifier : Qt::NoModifier;
    update_local(package(GetParam().sections, GetParam().product));
    EXPECT_EQ(m_prompt.messages(), GetParam().messages);
    EXPECT_EQ(erases().size(), GetParam().erase_count);
    EXPECT_EQ(writes(kSystem).size(), GetParam().write_count);
    expect_ended();
}

INSTANTIATE_TEST_SUITE_P(
    Packages, UpdateOutcome,
    ::testing::Values(SOutcomeCase{"NoSections", {}, "10002", {}, false, {"Successful!"}, 0, 0},
                      SOutcomeCase{"SpaceNotEnoughBeforeAnyErase",
                                   {{layout(kSystem, 0x20000, 0x20800, 0x800), image(0x801, 5)}},
                                   "10002",
                                   {},
                                   false,
                                   {"Space not enough !", "Failed!"},
                                   0,
                                   0},
                      SOutcomeCase{"OtherProduct",
                                   {kGood},
                                   "10003",
                                   {},
                                   false,
                                   {"File not match the connected device,please confirm", "Failed!"},
                                   0,
                                   0},
                      SOutcomeCase{
                          "OtherProductWithShift", {kGood}, "10003", {}, true, {"Successful!"}, 1, 1},
                      SOutcomeCase{"RefusedEraseNamesItsAddress",
                                   {{layout(kSystem, 0x10000, 0x14000, 0x2000), image(0x3000, 6)}},
                                   "10002",
                                   SPedalFault::update(EPedalFaultKind::REFUSE, kErase, 2),
                                   false,
                                   {"Erase sector failed,address=0x00012000", "Failed!"},
                                   2,
                                   0},
                      SOutcomeCase{"RefusedWrite",
                                   {kGood},
                                   "10002",
                                   SPedalFault::update(EPedalFaultKind::REFUSE, kWrite),
                                   false,
                                   {"Write data failed !", "Failed!"},
                                   1,
                                   1},
                      SOutcomeCase{"NoChecksumAnswer",
                                   {kGood},
                                   "10002",
                                   SPedalFault::update(EPedalFaultKind::WRONG_TYPE, kChecksum),
                                   false,
                                   {"Write data timeout !", "Failed!"},
                                   1,
                                   1},
                      // Both sections start at one address: the second write programs over the first.
                      SOutcomeCase{"VerifyFails",
                                   {{layout(kSystem, 0x10000, 0x10800, 0x800), QByteArray(0x100, '\x0F')},
                                    {layout(kSystem, 0x10000, 0x10800, 0x800), QByteArray(0x100, '\xF0')}},
                                   "10002",
                                   {},
                                   false,
                                   {"Verify data failed", "Failed!"},
                                   2,
                                   2},
                      SOutcomeCase{"BrokenLayoutFlashesNothing",
                                   {kGood, {"[FLASH 1]\nTYPE=0\nEnd Address=0x100\n", kSmall}},
                                   "10002",
                                   {},
                                   false,
                                   {"FLASH start address is empty", "Failed!"},
                                   0,
                                   0},
                      SOutcomeCase{"LayoutWithoutSectorFlashesNothing",
                                   {kGood, {"[FLASH 1]\nStart Address=0\n", kSmall}},
                                   "10002",
                                   {},
                                   false,
                                   {"Data2 flash config has no sector !", "Failed!"},
                                   0,
                                   0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareUpdate, UnreadProductIdPassesAnyPackageAndAFileThatIsNoPackageFails)
{
    // The device information is read with the first flash read; without it the product
    // ID stays unknown.
    CPedalEmulator& pedal = start(pulse_ring(), SPedalFault::update(EPedalFaultKind::WRONG_TYPE, kRead, 1));
    ASSERT_EQ(m_probe->link().product_id(), CUSBConnect::UNKNOWN_INFO);
    update_local(package({kGood}, "4711"));
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);

    m_prompt.clear();
    const QString junk = m_files.filePath("junk.dat");
    ASSERT_TRUE(NEAT::WriteFile(junk, reinterpret_cast<const unsigned char*>("not a package"), 13));
    update_local(junk);
    EXPECT_EQ(m_prompt.messages(), QStringList({"File Token Error", "Failed!"}));
    expect_ended();
}

TEST_F(FirmwareUpdate, LocalSourceWithoutFileSaysSoAndStartsNothing)
{
    CPedalEmulator& pedal = start();
    update_local("");
    EXPECT_EQ(m_prompt.messages(), QStringList({"No update file selected !"}));
    EXPECT_TRUE(pedal.command_log().empty());
    EXPECT_TRUE(widget<QProgressBar>("progressBar")->isHidden());
}

TEST_F(FirmwareUpdate, OpenDialogRemembersTheFolder)
{
    const QString config = QCoreApplication::applicationDirPath() + "/Config.ini";
    QFile::remove(config);
    start();
    TandoraQT::write_config("/Config/FirmwareDir", "/old/");
    const QString chosen = m_files.filePath("sub/new.dat");
    m_prompt.answer_file(chosen);
    m_prompt.answer_file("");
    for (int click = 0; click < 2; ++click)
        QMetaObject::invokeMethod(m_window.get(), "OnOpenFirmwareFile");

    ASSERT_EQ(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[0].kind, CScriptedPrompt::EKind::OPEN_FILE);
    EXPECT_EQ(m_prompt.shown()[0].title, "Open firmware file");
    EXPECT_EQ(m_prompt.shown()[0].text, "/old/");
    EXPECT_EQ(m_prompt.shown()[0].filter, "DAT Files(*.dat)");
    EXPECT_EQ(m_prompt.shown()[1].text, m_files.path() + "/sub/");
    EXPECT_EQ(widget<QLineEdit>("m_editPath")->text(), chosen);
    EXPECT_EQ(TandoraQT::read_config("/Config/FirmwareDir"), m_files.path() + "/sub/");
    QFile::remove(config);
}

namespace {

// What the user does at the first chance during an update: click Update again and try
// to close the window.
class CUserDuringUpdate : public QObject {
public:
    explicit CUserDuringUpdate(TandoraQT& window) : m_window(window) {}

    void act()
    {
        if (acted)
            return;
        acted = true;
        song_tab = m_window.findChild<QTabWidget*>("propSheet")->isTabEnabled(0);
        m_window.findChild<QPushButton*>("m_btnUpdate")->click();
        closed = m_window.close();
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == PROGRESS_EVENT_TYPE)
            act();
        return false;
    }

    bool acted = false;
    bool song_tab = true;
    bool closed = true;

private:
    TandoraQT& m_window;
};

}  // namespace

TEST_F(FirmwareUpdate, UpdateClickedDuringAnUpdateDoesNothing)
{
    CPedalEmulator& pedal = start();
    CUserDuringUpdate user(*m_window);
    m_window->installEventFilter(&user);
    update_local(package({kGood}));
    ASSERT_TRUE(user.acted);
    EXPECT_FALSE(user.song_tab);
    EXPECT_FALSE(user.closed);
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kErase), 1u);
    expect_ended();
}

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

class OnlineSource : public FirmwareUpdate {
protected:
    CPedalEmulator& start_online(uint32_t version, bool info_unread)
    {
        m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH,
                       "<root><dir name='10002'><file>PEDAL_V1.2.3</file></dir>"
                       "<dir name='-0001'><file>PEDAL_V1.2.3</file></dir></root>");
        auto fault = SPedalFault::update(EPedalFaultKind::WRONG_TYPE, kRead, 1);
        return start(pulse_ring(version), info_unread ? std::optional<SPedalFault>(fault) : std::nullopt);
    }
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
    m_prompt.answer_yes_no(GetParam().yes);
    widget<QPushButton>("m_btnUpdate")->click();

    const bool questioned =
        !m_prompt.shown().empty() && m_prompt.shown()[0].kind == CScriptedPrompt::EKind::QUESTION;
    EXPECT_EQ(questioned, GetParam().asked);
    if (questioned) {
        EXPECT_EQ(m_prompt.shown()[0].title, "Update");
        EXPECT_EQ(m_prompt.shown()[0].text, kQuestion);
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
    ::testing::Values(SOnlineCase{"SameVersionAsksYes", 0x010203, false, true, true, {"Successful!"}},
                      SOnlineCase{"SameVersionAsksNo", 0x010203, false, true, false, {}},
                      SOnlineCase{"NewerEntryAsksNothing", 0x010202, false, false, false, {"Successful!"}},
                      SOnlineCase{"UnreadVersionAsks", 0x010202, true, true, true, {"Successful!"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnlineSource, FailedDownloadAndClicksDuringTheDownload)
{
    CPedalEmulator& pedal = start_online(0x010000, false);
    widget<QPushButton>("m_btnUpdate")->click();
    EXPECT_EQ(m_prompt.messages(), QStringList({"Download firmware failed !", "Failed!"}));
    expect_ended();

    // While the package downloads, the window is in the update already.
    QString error;
    QByteArray bytes;
    ASSERT_TRUE(make_pack_file("10002", {kGood}, bytes, error));
    m_server.serve(kEntry, bytes);
    CUserDuringUpdate user(*m_window);
    m_server.on_request = [&user](const QString&) { user.act(); };
    m_prompt.clear();
    widget<QPushButton>("m_btnUpdate")->click();
    ASSERT_TRUE(user.acted);
    EXPECT_FALSE(user.song_tab);
    EXPECT_FALSE(user.closed);
    EXPECT_EQ(m_server.requests().count(kEntry), 2);
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kErase), 1u);
    expect_ended();
}

TEST(FirmwareEntryVersion, ReadFromTheName)
{
    const std::pair<const char*, unsigned> cases[] = {
        {"PEDAL_V1.2.3", 0x010203},       {"PEDAL-V1.2.3-BETA", 0x010203}, {"PEDAL_V1.2.3_2019", 0x010203},
        {"pedal_v1.2.3.DAT", 0x01020300}, {"PEDAL-X_V2.0.1", 0x020001},    {"PEDAL1.2.3", 0},
        {"PEDAL_Vx.2", 0x0002},
    };
    for (const auto& [name, version] : cases)
        EXPECT_EQ(CTandoraQTProbe::version_of_name(name), version) << name;
}
