// Saves pictures of the main window, at the size of a first start, into the given folder:
// song-page.png, firmware-page.png, firmware-page-local.png with the local package source
// chosen; song-page-smallest.png at the window's minimum size; and song-page-large.png of
// the window grown to 1100 x 1000, playing the first song.
// With --pedal, an emulated PULSE RING in update mode, holding songs named in the library in
// slots 1 and 3, is plugged in first, on a virtual MIDI system, so the pictures show a connected pedal. Boxes
// that the start-up raises are answered silently, so it runs unattended (offscreen or under Xvfb).
//
//   tandora_snapshot [--pedal] <folder>

#include "app/desktop.h"
#include "app/firmware_page.h"
#include "app/song_page.h"
#include "app/song_play.h"
#include "app/tandora_qt.h"
#include "app/window_geometry.h"
#include "app/work_runner.h"
#include "core/pedal_session.h"
#include "core/song_commands/slot_loudness.h"
#include "core/song_commands/song_records.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "library/song_library.h"
#include "playback/audio_sink.h"
#include "songs/looper_song_data.h"
#include "support/little_endian.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextCodec>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A sound output that takes a whole song at once and stays two fifths of the way into it,
// so the picture shows a song playing; and the desktop that hands it out.
class CHeldOutput final : public CAudioSink, public CDesktop {
public:
    QString unavailable() const override { return {}; }
    int output_rate(int rate, int) const override { return rate; }
    bool open(int, int) override { return true; }
    size_t room() override { return size_t(1) << 24; }
    void write(const float*, size_t count) override { m_written += count; }
    uint64_t played() const override { return m_written * 2 / 5; }
    void pause() override {}
    void resume() override {}
    void close() override { m_written = 0; }
    Qt::KeyboardModifiers keyboard_modifiers() override { return Qt::NoModifier; }
    bool open_url(const QUrl&) override { return false; }
    CAudioSink& audio_output() override { return *this; }

private:
    uint64_t m_written = 0;
};

bool save_pages(const QDir& folder)
{
    CHeldOutput output;
    CDesktop* real_desktop = install_desktop(&output);
    CPedalSession session;
    // A library of its own, so the pictures neither read nor change the user's.
    const QTemporaryDir data;
    session.set_library(std::make_unique<CSongLibrary>(data.filePath("library.sqlite")));
    TandoraQT window(session);
    // The size of a first start on a screen large enough for it, whatever the screen here.
    window.resize(first_start_size(QRect(), window.minimumSize()));
    window.show();
    // The window looks for the pedal off its own thread.
    while (!window.work_runner().idle())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (session.slot_holds_song(0) && session.slot_holds_song(2)) {
        static_cast<void>(rename_song(session, 0, QStringLiteral("Intro jam")));
        static_cast<void>(rename_song(session, 2, QStringLiteral("Night drive")));
        std::vector<SSlotLoudness> figures;
        static_cast<void>(measure_slots(session, {0, 2}, nullptr, figures));
        window.song_page().show_slots(0);
    }
    QApplication::processEvents();
    auto* pages = window.findChild<QTabWidget*>("propSheet");
    const char* names[] = {"song-page.png", "firmware-page.png"};
    bool saved = true;
    for (int page = 0; page < 2; ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        saved &= window.grab().save(folder.filePath(names[page]));
    }
    window.findChild<QCheckBox*>("m_btnSelLocal")->setChecked(true);
    window.firmware_page().on_select_local(true);
    QApplication::processEvents();
    saved &= window.grab().save(folder.filePath("firmware-page-local.png"));
    pages->setCurrentIndex(0);
    window.resize(window.minimumSize());
    QApplication::processEvents();
    saved &= window.grab().save(folder.filePath("song-page-smallest.png"));
    // The window grown: every slot shows; the first song plays.
    window.resize(1100, 1000);
    window.song_page().on_play();
    while (!window.work_runner().idle())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The player's next turns hand the song over and show its place.
    const CSongPlayer& player = window.song_page().play().player();
    for (int turn = 0; turn < 100 && player.position() == 0; ++turn)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    saved &= window.grab().save(folder.filePath("song-page-large.png"));
    std::printf("%s\n", qPrintable(window.windowTitle()));
    window.song_page().on_stop();
    install_desktop(real_desktop);
    return saved;
}

// Stores a few seconds of bytes in two slots through a link of its own, the pedal
// being the only one on the system (its ports are the first of each direction).
bool store_songs()
{
    CUSBConnect link;
    if (!link.open(0, true))
        return false;
    CLooperSongData songs(&link);
    // A 220 Hz tone struck twice a second, each stroke louder, 24-bit mono: the songs have a
    // loudness and a waveform worth seeing.
    std::vector<unsigned char> song(3 * 46875 * 4);
    for (size_t frame = 0; frame < song.size() / 3; ++frame) {
        const double seconds = double(frame) / 46875;
        const double stroke = (0.3 + 0.7 * seconds / 4) * std::exp(-4 * std::fmod(seconds, 0.5));
        LE::write24(&song[3 * frame],
                    uint32_t(int32_t(
                        std::lround(0x300000 * stroke * std::sin(2 * 3.14159265358979 * 220.0 * seconds)))));
    }
    const bool stored = songs.load_song_info() == LOOPER_RESULT_OK &&
                        songs.write_file(0, song.data(), 3 * 46875 * 4, nullptr) == LOOPER_RESULT_OK &&
                        songs.write_file(2, song.data(), 3 * 46875 * 2, nullptr) == LOOPER_RESULT_OK;
    link.close();
    return stored;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    const bool with_pedal = argc == 3 && std::strcmp(argv[1], "--pedal") == 0;
    if (argc != 2 && !with_pedal) {
        std::fprintf(stderr, "usage: %s [--pedal] <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[argc - 1]));
    if (!with_pedal)
        return save_pages(folder) ? 0 : 1;
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    bool saved = false;
    {
        SPedalConfig config;
        config.firmware_version = 0x010203;
        CPedalEmulator pedal(system, config);
        saved = store_songs() && save_pages(folder);
    }
    install_midi_system(previous);
    return saved ? 0 : 1;
}
