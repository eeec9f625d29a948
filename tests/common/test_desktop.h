#pragma once

#include "app/desktop.h"
#include "capture_sink.h"

#include <QUrl>
#include <vector>

// A desktop whose held keys the test sets, whose browser only records the addresses it is
// handed, and whose sound output keeps what is played. Installed for its lifetime.
class CTestDesktop final : public CDesktop {
public:
    CTestDesktop() : m_previous(install_desktop(this)) {}
    ~CTestDesktop() override { install_desktop(m_previous); }
    CTestDesktop(const CTestDesktop&) = delete;
    CTestDesktop& operator=(const CTestDesktop&) = delete;

    Qt::KeyboardModifiers keyboard_modifiers() override { return held; }
    bool open_url(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }

    CAudioSink& audio_output() override { return sound; }

    Qt::KeyboardModifiers held = Qt::NoModifier;
    CCaptureSink sound;
    std::vector<QUrl> opened;

private:
    CDesktop* m_previous;
};
