#include "firmware_update_fixture.h"

#include "core/online/update_server.h"
#include "support/neat.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

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

SPedalConfig pulse_ring(uint32_t version)
{
    SPedalConfig config;
    config.product_id = kPulseRing;
    config.firmware_version = version;
    return config;
}

void FirmwareUpdate::SetUp()
{
    ASSERT_TRUE(m_files.isValid());
    ASSERT_TRUE(QDir(m_files.path()).mkdir("tmp"));
    m_oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_files.filePath("tmp").toLocal8Bit());
    ASSERT_EQ(QDir::tempPath(), m_files.filePath("tmp"));
}

void FirmwareUpdate::TearDown()
{
    if (m_oldTemp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_oldTemp);
}

CPedalEmulator& FirmwareUpdate::start(const SPedalConfig& config, std::optional<SPedalFault> start_fault)
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

QString FirmwareUpdate::package(const Sections& sections, const QByteArray& product)
{
    const QString path = m_files.filePath("firmware.dat");
    QString error;
    EXPECT_TRUE(write_pack_file(path, product, sections, error)) << error.toStdString();
    return path;
}

void FirmwareUpdate::update_local(const QString& path)
{
    // Yes to writing the package, asked once it has been checked.
    m_prompt.answer_yes_no(true);
    widget<QCheckBox>("m_btnSelLocal")->setChecked(true);
    widget<QLineEdit>("m_editPath")->setText(path);
    widget<QPushButton>("m_btnUpdate")->click();
    wait_until_idle();
}

std::vector<uint32_t> FirmwareUpdate::erases() const
{
    std::vector<uint32_t> addresses;
    for (const auto& entry : m_pedals.front()->command_log())
        if (entry.command == kErase)
            addresses.push_back(entry.address);
    return addresses;
}

std::vector<Range> FirmwareUpdate::writes(unsigned type) const
{
    std::vector<Range> ranges;
    for (const auto& entry : m_pedals.front()->command_log())
        if (entry.command == kWrite && entry.flash_type == type)
            ranges.emplace_back(entry.address, entry.length);
    return ranges;
}

void FirmwareUpdate::expect_ended() const
{
    EXPECT_EQ(m_driver->work_state(), WORK_IDLE);
    EXPECT_TRUE(widget<QProgressBar>("progressBar")->isHidden());
    EXPECT_TRUE(widget<QTabWidget>("propSheet")->isTabEnabled(0));
    EXPECT_EQ(QDir(NEAT::GetAppDir()).entryList({"~*"}, QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(m_files.filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
}

CPedalEmulator& OnlineSource::start_online(uint32_t version, bool info_unread)
{
    m_server.serve(UPDATE_SERVER::FIRMWARE_LIST_PATH,
                   "<root><dir name='10002'><file>PEDAL_V1.2.3</file></dir>"
                   "<dir name='-0001'><file>PEDAL_V1.2.3</file></dir></root>");
    auto fault = SPedalFault::update(EPedalFaultKind::WRONG_TYPE, kRead, 1);
    return start(pulse_ring(version), info_unread ? std::optional<SPedalFault>(fault) : std::nullopt);
}
