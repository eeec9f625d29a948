#include "core/firmware_update/firmware_update.h"
#include "core_pedal.h"
#include "firmware/pack_builder.h"

#include <QFile>

namespace {

QByteArray layout(uint32_t start, uint32_t end, uint32_t sector)
{
    return QString::asprintf("[FLASH 1]\nTYPE=0\nStart Address=0x%X\nEnd Address=0x%X\nSector Size=0x%X\n",
                             start, end, sector)
        .toLatin1();
}

QByteArray image(int size, char seed)
{
    QByteArray bytes(size, seed);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + seed);
    return bytes;
}

class CoreFirmwareUpdate : public CorePedal {
protected:
    void SetUp() override { connect(kPulseRing); }
    // Two sections: the higher one longer than its first sector.
    QString two_sections()
    {
        const QString path = file("update.dat");
        QString error;
        EXPECT_TRUE(write_pack_file(
            path, "10002",
            {{layout(0x2000, 0x3000, 0x800), image(0x900, 1)}, {layout(0, 0x800, 0x800), image(0x300, 2)}},
            error))
            << error.toStdString();
        return path;
    }
    size_t commands_of(uint8_t command) const
    {
        size_t count = 0;
        for (const SPedalCommandRecord& record : m_pedal->command_log())
            count += record.command == command ? 1 : 0;
        return count;
    }
};

}  // namespace

// Each section's erase runs the bar up to 80, sector by sector; the writes fill the rest.
TEST_F(CoreFirmwareUpdate, ProgressRunsThroughBothPasses)
{
    const QString path = two_sections();
    CTask task;
    task.add_bytes(0x123);  // as a download before the install would have
    std::vector<int> percents;
    task.set_listener([&] {
        const int percent = task.progress().percent;
        if (percents.empty() || percents.back() != percent)
            percents.push_back(percent);
    });
    const COperationResult result = update_firmware(m_session, path, false, m_yes, &task);
    EXPECT_EQ(result.text(), "Successful!");
    EXPECT_EQ(percents, std::vector<int>({0, 80, 40, 80, 100}));
    EXPECT_EQ(task.progress().bytes_done, 0xC00u);
    EXPECT_EQ(task.progress().bytes_total, 0xC00u);
}

TEST_F(CoreFirmwareUpdate, CancelBeforeTheFirstEraseTouchesNothing)
{
    const QString path = two_sections();
    m_pedal->clear_command_log();
    CTask task;
    task.cancel();
    const COperationResult result = update_firmware(m_session, path, false, m_yes, &task);
    EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
    m_pedal->wait_until_idle();
    EXPECT_TRUE(m_pedal->command_log().empty());
}

// From the first erase on, the update cannot stop: a pedal half written has no program.
TEST_F(CoreFirmwareUpdate, CancelAfterTheFirstEraseIsRefusedAndTheUpdateEnds)
{
    const QString path = two_sections();
    CTask task;
    bool tried = false;
    task.set_listener([&] {
        if (!tried && commands_of(kErase) > 0) {
            tried = true;
            task.cancel();
        }
    });
    const COperationResult result = update_firmware(m_session, path, false, m_yes, &task);
    EXPECT_TRUE(tried);
    EXPECT_FALSE(task.cancelled());
    EXPECT_FALSE(task.progress().cancellable);
    EXPECT_EQ(task.progress().why_not_cancellable, "The pedal is being written; the update cannot stop now.");
    EXPECT_EQ(result.text(), "Successful!");
    EXPECT_EQ(commands_of(kWrite), 3u);
}

// A section whose image does not unpack says so in its own box, and the pedal is untouched.
TEST_F(CoreFirmwareUpdate, ASectionThatDoesNotUnpackIsShownBeforeFailed)
{
    const QString path = two_sections();
    QFile package(path);
    ASSERT_TRUE(package.open(QIODevice::ReadWrite));
    QByteArray bytes = package.readAll();
    // The last bytes belong to the second stored image; a broken stream does not inflate.
    for (int i = bytes.size() - 8; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x55);
    ASSERT_TRUE(package.seek(0));
    ASSERT_EQ(package.write(bytes), bytes.size());
    package.close();
    m_pedal->clear_command_log();
    const COperationResult result = m_session.with_notes(update_firmware(m_session, path, false, m_yes, nullptr));
    EXPECT_EQ(result.text(), "Failed!");
    ASSERT_EQ(result.notes().size(), 1);
    EXPECT_TRUE(result.notes()[0].contains("decode bin file failed")) << result.notes()[0].toStdString();
    m_pedal->wait_until_idle();
    EXPECT_TRUE(m_pedal->command_log().empty());
}
