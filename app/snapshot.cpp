// Saves pictures of the main window as it comes up into the given folder: song-page.png,
// firmware-page.png, and firmware-page-local.png with the local package source chosen.
// With --pedal, an emulated PULSE RING in update mode is plugged in first, on a virtual
// MIDI system, so the pictures show a connected pedal. Boxes that the start-up raises
// are answered silently, so it runs unattended (offscreen or under Xvfb).
//
//   tandora_snapshot [--pedal] <folder>

#include "app/tandora_qt.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTabWidget>
#include <QTextCodec>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

bool save_pages(const QDir& folder)
{
    TandoraQT window(nullptr);
    window.show();
    QApplication::processEvents();
    auto* pages = window.findChild<QTabWidget*>("propSheet");
    const char* names[] = {"song-page.png", "firmware-page.png"};
    bool saved = true;
    for (int page = 0; page < 2; ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        saved &= window.grab().save(folder.filePath(names[page]));
    }
    window.findChild<QCheckBox*>("m_btnSelLocal")->click();
    QApplication::processEvents();
    saved &= window.grab().save(folder.filePath("firmware-page-local.png"));
    std::printf("%s\n", qPrintable(window.windowTitle()));
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("GB18030"));
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
        saved = save_pages(folder);
    }
    install_midi_system(previous);
    return saved ? 0 : 1;
}
