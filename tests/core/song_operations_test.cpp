#include "core/song_operations.h"
#include "core_pedal.h"

#include "audio/wave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr uint32_t kPulseRing = 0x2712;

class SongOperations : public CorePedal {
protected:
    void SetUp() override { connect(kPulseRing); }
    // An old song in slot 0 and a longer tone to import over it.
    std::vector<unsigned char> store_old_song()
    {
        write_tone(file("old.wav"), 20000);
        EXPECT_TRUE(import_song(m_session, file("old.wav"), 0, nullptr).ok());
        EXPECT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
        write_tone(file("new.wav"), 300000);
        return stored_song(0);
    }
    QByteArray read_file(const QString& path) const
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
};

}  // namespace

TEST_F(SongOperations, ImportExportAndDeleteRunWithoutAWindow)
{
    write_tone(file("tone.wav"), 44100);
    const COperationResult imported = import_song(m_session, file("tone.wav"), 2, nullptr);
    EXPECT_TRUE(imported.ok());
    EXPECT_EQ(imported.text(), "Successful !");
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_session.slot_holds_song(2));

    const COperationResult exported = export_song(m_session, 2, file("out.wav"), nullptr);
    EXPECT_TRUE(exported.ok());
    CWave wave;
    ASSERT_TRUE(wave.Load(file("out.wav")));
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 48000u);
    EXPECT_EQ(wave.GetFormat().wBitsPerSample, 24);

    EXPECT_TRUE(delete_song(m_session, 2).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_session.slot_holds_song(2));
    EXPECT_TRUE(m_prompt.messages().isEmpty());
}

class ImportCancel : public SongOperations, public ::testing::WithParamInterface<int> {};

// Cancelled at the first, a middle and a late step of the write: the old song stays,
// and the pedal hears nothing more.
TEST_P(ImportCancel, KeepsTheOldSongAndSendsNothingAfterTheCancel)
{
    const std::vector<unsigned char> old_song = store_old_song();
    CTask task;
    CCancelAtStep cancel(task, *m_pedal, GetParam());
    const COperationResult result = import_song(m_session, file("new.wav"), 0, &task);
    m_pedal->wait_until_idle();
    ASSERT_GE(cancel.steps, GetParam());
    EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
    EXPECT_EQ(result.text(), "Cancelled !");
    EXPECT_EQ(command_count(), cancel.commands_at_cancel);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_EQ(stored_song(0), old_song);
}

INSTANTIATE_TEST_SUITE_P(Steps, ImportCancel, ::testing::Values(1, 3, 6));

class ExportCancel : public SongOperations, public ::testing::WithParamInterface<int> {};

// A file that was there keeps its bytes; a file that was not is not created.
TEST_P(ExportCancel, LeavesTheFileAsItWas)
{
    store_old_song();
    QFile existing(file("existing.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    for (const QString& name : {QStringLiteral("existing.wav"), QStringLiteral("fresh.wav")}) {
        SCOPED_TRACE(name.toStdString());
        CTask task;
        CCancelAtStep cancel(task, *m_pedal, GetParam());
        const COperationResult result = export_song(m_session, 0, file(name), &task);
        m_pedal->wait_until_idle();
        EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
        EXPECT_EQ(command_count(), cancel.commands_at_cancel);
    }
    EXPECT_EQ(read_file(file("existing.wav")), "keep me");
    EXPECT_FALSE(QFileInfo::exists(file("fresh.wav")));
    EXPECT_TRUE(QDir(m_files.path()).entryList({"*.wav.*", ".*.wav*"}, QDir::Files | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Steps, ExportCancel, ::testing::Values(1, 2));

TEST_F(SongOperations, FailedExportOverAFileLeavesItByteIdentical)
{
    store_old_song();
    QFile existing(file("existing.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write(QByteArray(4096, '\x5A'));
    existing.close();
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::WRONG_ADDRESS, 0x23, 2));
    EXPECT_FALSE(export_song(m_session, 0, file("existing.wav"), nullptr).ok());
    EXPECT_EQ(read_file(file("existing.wav")), QByteArray(4096, '\x5A'));
}
