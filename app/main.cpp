#include "app/qt_user_prompt.h"
#include "app/tandora_qt.h"
#include "support/app_identity.h"

#include <QApplication>
#include <QIcon>
#include <QTextCodec>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    apply_app_identity();
    QGuiApplication::setDesktopFileName(app_id());
    QApplication::setWindowIcon(QIcon(":/TandoraQT/Resources/Pictures/tandora.png"));
    // File names are UTF-8 on Linux and macOS, whatever the locale says (a C locale
    // would make "Café.wav" unopenable).
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    CQtUserPrompt prompt;
    install_user_prompt(&prompt);
    int exit_code = 0;
    {
        // The window is destroyed before the application object, so its detection
        // thread is stopped and joined while the MIDI service is still there.
        auto window = std::make_unique<TandoraQT>(nullptr);
        window->show();
        exit_code = app.exec();
    }
    install_user_prompt(nullptr);
    return exit_code;
}
