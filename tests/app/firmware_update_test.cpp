#include "firmware_update_fixture.h"
#include "support/neat.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStringList>
#include <optional>
#include "test_wait.h"

TEST_F(FirmwareUpdate, ErasesAscendingWritesDescendingFirstSectorLastAndImagesLand)
{
    CPedalEmulator& pedal = start();
    // The first section starts higher and is longer than its first sector.
    const QByteArray high = image(0x900, 1);
    const QByteArray low = image(0x300, 2);
    update_local(
        package({{layout(kSystem, 0x2000, 0x3000, 0x800), high}, {layout(kSystem, 0, 0x800, 0x800), low}}));

    // The high image covers the information record, whose version is then another.
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    EXPECT_EQ(erases(), std::vector<uint32_t>({0x0000, 0x2000, 0x2800}));
    EXPECT_EQ(writes(kSystem), std::vector<Range>({{0x2800, 0x100}, {0x2000, 0x800}, {0x0000, 0x300}}));
    expect_bytes(pedal.program_flash().read(0x2000, 0x900), high);
    expect_bytes(pedal.program_flash().read(0, 0x300), low);
    expect_ended();
}

TEST_F(FirmwareUpdate, NandSectionIsWrittenInWholePagesOnce)
{
    CPedalEmulator& pedal = start();
    const QByteArray data = image(3 * 5120 + 100, 3);
    update_local(package({{layout(kNand, 0x40000, 0x80000, 0x40000), data}}));

    EXPECT_EQ(m_prompt.messages(), QStringList({kSuccessfulSameVersion}));
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

const QString kDamaged = QStringLiteral("The package is damaged or incomplete.");

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
    ::testing::Values(
        SOutcomeCase{"NoSections", {}, "10002", {}, false, {kSuccessfulSameVersion}, 0, 0},
        SOutcomeCase{"SpaceNotEnoughBeforeAnyErase",
                     {{layout(kSystem, 0x20000, 0x20800, 0x800), image(0x801, 5)}},
                     "10002",
                     {},
                     false,
                     {"Space not enough !\n" + kDamaged, "Failed!"},
                     0,
                     0},
        SOutcomeCase{
            "OtherProduct",
            {kGood},
            "10003",
            {},
            false,
            {"File not match the connected device,please confirm\nThis package is for another pedal model "
             "(SMALL WHEEL).",
             "Failed!"},
            0,
            0},
        SOutcomeCase{"OtherProductWithShift", {kGood}, "10003", {}, true, {kSuccessfulSameVersion}, 1, 1},
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
                     {"FLASH start address is empty\n" + kDamaged, "Failed!"},
                     0,
                     0},
        SOutcomeCase{"LayoutWithoutSectorFlashesNothing",
                     {kGood, {"[FLASH 1]\nStart Address=0\n", kSmall}},
                     "10002",
                     {},
                     false,
                     {"Data2 flash config has no sector !\n" + kDamaged, "Failed!"},
                     0,
                     0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareUpdate, UnreadProductIdPassesAnyPackageAndAFileThatIsNoPackageFails)
{
    // The device information is read with the first flash read; without it the product
    // ID stays unknown.
    CPedalEmulator& pedal = start(pulse_ring(), SPedalFault::update(EPedalFaultKind::WRONG_TYPE, kRead, 1));
    ASSERT_EQ(m_driver->link().product_id(), CUSBConnect::UNKNOWN_INFO);
    update_local(package({kGood}, "4711"));
    // The record reads after the update: the version is no longer the unknown one.
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful!"}));
    expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);

    m_prompt.clear();
    const QString junk = m_files.filePath("junk.dat");
    ASSERT_TRUE(NEAT::WriteFile(junk, reinterpret_cast<const unsigned char*>("not a package"), 13));
    update_local(junk);
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"File Token Error\nThis file is not a firmware package.", "Failed!"}));

    // A download cut short: the image runs past the end of the file.
    m_prompt.clear();
    const QString cut = package({kGood});
    ASSERT_TRUE(QFile::resize(cut, QFileInfo(cut).size() - 1));
    update_local(cut);
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"Data1 image lies outside the file\n" + kDamaged, "Failed!"}));
    expect_ended();
}

// The package is checked whole, then the user says whether it goes in; No writes nothing.
TEST_F(FirmwareUpdate, AsksBeforeWritingAndNoLeavesThePedalAlone)
{
    CPedalEmulator& pedal = start();
    const QString path = package({kGood});
    m_prompt.answer_yes_no(false);
    widget<QCheckBox>("m_btnSelLocal")->setChecked(true);
    widget<QLineEdit>("m_editPath")->setText(path);
    widget<QPushButton>("m_btnUpdate")->click();
    wait_until_idle();
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].kind, CScriptedPrompt::EKind::QUESTION);
    EXPECT_EQ(
        m_prompt.shown()[0].text,
        "Write firmware firmware into the PULSE RING? Keep the pedal plugged in until the update ends.");
    EXPECT_TRUE(pedal.command_log().empty());
    expect_ended();
}

// Update waits until there is something to install: a chosen file, or a package of the list.
TEST_F(FirmwareUpdate, UpdateIsOfferedOnlyWithSomethingToInstall)
{
    start();
    auto* update = widget<QPushButton>("m_btnUpdate");
    EXPECT_FALSE(update->isEnabled()) << "the online list is empty";
    widget<QCheckBox>("m_btnSelLocal")->setChecked(true);
    EXPECT_FALSE(update->isEnabled()) << "no file chosen";
    widget<QLineEdit>("m_editPath")->setText(m_files.filePath("firmware.dat"));
    EXPECT_TRUE(update->isEnabled());
}

TEST_F(FirmwareUpdate, OpenDialogRemembersTheFolder)
{
    const QString config = QCoreApplication::applicationDirPath() + "/Config.ini";
    QFile::remove(config);
    start();
    write_config("/Config/FirmwareDir", "/old/");
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
    EXPECT_EQ(read_config("/Config/FirmwareDir"), m_files.path() + "/sub/");
    QFile::remove(config);
}

TEST_F(FirmwareUpdate, UpdateClickedDuringAnUpdateDoesNothing)
{
    CPedalEmulator& pedal = start();
    CUserDuringWork user(*m_window, {"m_btnUpdate"});
    m_window->work_runner().installEventFilter(&user);
    update_local(package({kGood}));
    ASSERT_TRUE(user.acted);
    EXPECT_FALSE(user.song_tab);
    EXPECT_EQ(m_prompt.messages(), QStringList({kSuccessfulSameVersion}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kErase), 1u);
    expect_ended();
}

// Past its first erase an update cannot stop: closing says so, and the window closes once
// the update has finished.
TEST_F(FirmwareUpdate, ClosingDuringTheWriteClosesWhenTheUpdateHasFinished)
{
    CPedalEmulator& pedal = start();
    m_window->show();
    pedal.set_reply_latency(std::chrono::milliseconds(1));
    m_prompt.answer_yes_no(true);
    widget<QCheckBox>("m_btnSelLocal")->setChecked(true);
    widget<QLineEdit>("m_editPath")->setText(package({kGood}));
    widget<QPushButton>("m_btnUpdate")->click();
    ASSERT_TRUE(wait_or_fail([&] { return pedal.count_commands(EPedalMode::UPDATE, kErase) > 0; }, 60000));
    EXPECT_FALSE(m_window->close());
    wait_until_idle();
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"The firmware update cannot stop now. The window closes when it has finished.",
                           kSuccessfulSameVersion}));
    expect_bytes(pedal.program_flash().read(0x10000, kSmall.size()), kSmall);
    wait_or_fail([&] { return !m_window->isVisible(); });
}
