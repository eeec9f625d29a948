#pragma once

#include "audio/wave.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <utility>
#include <vector>

// The song page with an emulated pedal, a scripted user and a folder of files.

using EKind = CScriptedPrompt::EKind;

inline constexpr uint32_t kSmallWheel = 0x2713;  // one legacy slot, mono
inline constexpr uint8_t kFlashWrite = 0x22;

inline QString empty_line(int slot)
{
    return QString::asprintf("Song %.3d -- (Empty)", slot + 1);
}

// A 16-bit sine, a different pitch per channel, saved as a WAV file.
inline void write_tone(const QString& path, unsigned short channels, unsigned int rate, unsigned int frames)
{
    std::vector<int16_t> samples(size_t{frames} * channels);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double pitch = 440.0 * (1 + i % channels);
        samples[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * pitch * double(i / channels) / rate));
    }
    CWave wave;
    wave.BuildFormat(channels, rate, 16);
    wave.SetBuffer(samples.data(), frames, true);
    ASSERT_TRUE(wave.Save(path));
}

// What the user tries while a song command runs: every song command.
inline const std::vector<const char*> kSongCommands{"m_btnUpload", "m_btnDownload", "m_btnDelete"};

class SongPage : public WindowWithPedals {
protected:
    void SetUp() override
    {
        QFile::remove(config_path());
        ASSERT_TRUE(m_files.isValid());
    }
    void TearDown() override { QFile::remove(config_path()); }
    static QString config_path() { return QCoreApplication::applicationDirPath() + "/Config.ini"; }

    // Plugs a pedal, builds the window, which connects to it, then stores a song of the
    // given byte count in each listed slot through the window's store and reloads.
    CPedalEmulator& connect_pedal(uint32_t product_id,
                                  const std::vector<std::pair<unsigned, unsigned>>& songs = {})
    {
        SPedalConfig config;
        config.product_id = product_id;
        CPedalEmulator& pedal = add_pedal(config);
        make_window().show();
        for (const auto& [slot, bytes] : songs) {
            std::vector<unsigned char> song(bytes);
            for (unsigned i = 0; i < bytes; ++i)
                song[i] = static_cast<unsigned char>(i * 7 + slot);
            EXPECT_EQ(driver().songs().write_file(slot, song.data(), bytes, nullptr), LOOPER_RESULT_OK);
        }
        if (!songs.empty())
            driver().load_data_from_device();
        m_prompt.clear();
        return pedal;
    }
    QListWidget& list() const { return *widget<QListWidget>("m_lstSong"); }
    QStringList lines() const
    {
        QStringList texts;
        for (int row = 0; row < list().count(); ++row)
            texts << list().item(row)->text();
        return texts;
    }
    bool enabled(const char* button) const { return widget<QPushButton>(button)->isEnabled(); }
    // Clicks and waits until the command the click started, if any, has ended.
    void click(const char* button)
    {
        QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
        wait_until_idle();
    }
    QString file(const QString& name) const { return m_files.filePath(name); }
    // Drags `data` into the list at `at`, in its viewport; true when the list takes it.
    bool drag_in(const QPoint& at, const QMimeData& data)
    {
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list().viewport(), &enter);
        return enter.isAccepted();
    }
    // Drops `data` on the line of `slot`, as a file manager or the list itself does, if the
    // list takes it, and waits for what the drop started once the drag has ended.
    bool drop_on(int slot, const QMimeData& data)
    {
        list().scrollToItem(list().item(slot));
        QDropEvent drop(list().visualItemRect(list().item(slot)).center(), Qt::CopyAction | Qt::MoveAction,
                        &data, Qt::LeftButton, Qt::NoModifier);
        if (!drag_in(drop.pos(), data))
            return false;
        QCoreApplication::sendEvent(list().viewport(), &drop);
        QCoreApplication::processEvents();
        wait_until_idle();
        return drop.isAccepted();
    }
    std::vector<unsigned char> stored_song(unsigned slot)
    {
        std::vector<unsigned char> song(driver().songs().get_file_length(slot));
        EXPECT_EQ(driver().songs().read_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr),
                  LOOPER_RESULT_OK);
        return song;
    }

    QTemporaryDir m_files;
};

inline bool same_icon(const QListWidgetItem* line, const char* file)
{
    const QIcon expected(QString(":/TandoraQT/Resources/Pictures/") + file);
    // Premultiplied on both sides, as the pixmaps hold them: no lossy conversion back.
    const auto premultiplied = [](const QIcon& icon) {
        return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    return premultiplied(line->icon()) == premultiplied(expected);
}
