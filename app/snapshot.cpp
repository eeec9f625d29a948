// Saves pictures of the main window as it comes up into the folder given as the only
// argument: song-page.png, firmware-page.png, and firmware-page-local.png with the local
// package source chosen. Boxes that the start-up
// raises are answered silently, so it runs unattended (offscreen or under Xvfb).

#include "app/tandora_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTabWidget>
#include <QTextCodec>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("GB18030"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
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
    return saved ? 0 : 1;
}
