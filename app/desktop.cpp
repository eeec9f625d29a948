#include "app/desktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace {

class CRealDesktop final : public CDesktop {
public:
    Qt::KeyboardModifiers keyboard_modifiers() override { return QGuiApplication::queryKeyboardModifiers(); }
    bool open_url(const QUrl& url) override { return QDesktopServices::openUrl(url); }
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
