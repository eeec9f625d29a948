#pragma once

#include <Qt>

class CAudioSink;
class QUrl;

// What the window asks of the desktop besides boxes and dialogs: the keys held at this
// moment and the web browser. Tests install their own desktop, so they decide which keys
// are held and see the addresses handed out without a browser opening.
class CDesktop {
public:
    virtual ~CDesktop() = default;
    virtual Qt::KeyboardModifiers keyboard_modifiers() = 0;
    // Hands `url` to the desktop's web browser; false when nothing could take it.
    virtual bool open_url(const QUrl& url) = 0;
    // The sound output songs are played on.
    virtual CAudioSink& audio_output() = 0;
};

// The desktop in force: the real one until another is installed.
CDesktop& desktop();

// Installs `desktop` (not owned; null restores the real one) and returns the previous one.
CDesktop* install_desktop(CDesktop* desktop);
