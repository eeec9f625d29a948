#pragma once

#include <QTemporaryDir>

#include "app/tandora_qt.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "http_test_server.h"
#include "pedal_kit.h"
#include "test_desktop.h"
#include "window_driver.h"

#include <gtest/gtest.h>
#include <QEvent>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "scripted_prompt.h"

// The model most window tests plug: 30 current slots, mono; "10002" in the online list's
// folders.
inline constexpr uint32_t kPulseRing = 0x2712;

// A user who, while the first box or question is open, lets something happen that the
// window's event loop would deliver meanwhile, as a real modal box does (a timer tick
// after the ports changed). Questions get `answer`, file dialogs are cancelled.
class CTickingPrompt final : public CUserPrompt {
public:
    // `messages_only`: the first message box is the chance, not a question before it.
    CTickingPrompt(std::function<void()> on_first_box, bool answer, bool messages_only = false);
    ~CTickingPrompt() override;
    CTickingPrompt(const CTickingPrompt&) = delete;
    CTickingPrompt& operator=(const CTickingPrompt&) = delete;

    void show_message(const QString& title, const QString& text) override;
    bool ask_yes_no(const QString& title, const QString& text) override;
    QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_save_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_existing_directory(QWidget*, const QString&, const QString&) override { return {}; }

    QStringList messages;
    QStringList questions;

private:
    void on_box();

    CUserPrompt* m_previous;
    std::function<void()> m_on_first_box;
    bool m_answer;
    bool m_messages_only;
};

// What the user does at the first chance while a command runs: notes the states of the
// pages, the bar and the command controls, and clicks the named buttons. Every progress
// event's bar text is noted too. Installed
// as the work runner's event filter, the chance is the first progress event; a test may
// call `act` at a chance of its own instead (an update server's request, say).
class CUserDuringWork : public QObject {
public:
    CUserDuringWork(TandoraQT& window, std::vector<const char*> buttons);

    void act();
    bool eventFilter(QObject*, QEvent* event) override;

    bool acted = false;
    bool song_tab = false;
    bool firmware_tab = true;
    bool bar_shown = false;
    // The command controls that were enabled: none should be, Cancel aside.
    QStringList live_controls;
    QStringList bar_texts;

private:
    TandoraQT& m_window;
    std::vector<const char*> m_buttons;
};

// Pedals on the virtual system, an update server and a scripted user; the test plugs its
// pedals, then builds the window, whose constructor makes the first connection. The
// window goes first, then the pedals, then the system.
class WindowWithPedals : public ::testing::Test {
protected:
    ~WindowWithPedals() override;

    CPedalEmulator& add_pedal(const SPedalConfig& config);
    // Builds the window, takes its connection timer over, so ticks come from the test, and
    // lets its first look for the pedal end unless told not to.
    TandoraQT& make_window(bool first_look_ends = true);
    CWindowDriver& driver() { return *m_driver; }
    // The detection thread sees the port count change within 200 ms.
    void wait_for_port_change();
    // Runs the event loop until no command runs: commands run on a worker thread and end
    // on the GUI thread.
    void wait_until_idle();
    QString title() const { return m_window->windowTitle(); }
    template <typename T>
    T* widget(const char* name) const
    {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }

    CInstalledMidiSystem m_midi;
    CScriptedPrompt m_prompt;
    // Keys, browser and sound output of the test's own.
    CTestDesktop m_desktop;
    // The window's session: the test reaches the pedal's store through it while idle.
    CPedalSession m_session;
    // Where the session keeps its song library.
    QTemporaryDir m_data;
    // The window's update server; it serves nothing until a test gives it files.
    CHttpTestServer m_server;
    std::vector<std::unique_ptr<CPedalEmulator>> m_pedals;
    std::unique_ptr<TandoraQT> m_window;
    std::unique_ptr<CWindowDriver> m_driver;
};
