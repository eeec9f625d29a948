#include "app/desktop.h"

#include "playback/qt_audio_sink.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace {

class CRealDesktop final : public CDesktop {
public:
    Qt::KeyboardModifiers keyboard_modifiers() override { return QGuiApplication::queryKeyboardModifiers(); }
    bool open_url(const QUrl& url) override { return QDesktopServices::openUrl(url); }
    // Made on first use: a program that plays nothing never meets the sound server.
    CAudioSink& audio_output() override
    {
        if (!m_output)
            m_output = std::make_unique<CQtAudioSink>();
        return *m_output;
    }

private:
    std::unique_ptr<CQtAudioSink> m_output;
};

CRealDesktop g_realDesktop;
CDesktop* g_desktop = &g_realDesktop;

}  // namespace

CDesktop& desktop()
{
    return *g_desktop;
}

CDesktop* install_desktop(CDesktop* desktop)
{
    CDesktop* previous = g_desktop;
    g_desktop = desktop ? desktop : &g_realDesktop;
    return previous;
}
