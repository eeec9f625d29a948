#include "window_fixture.h"

#include "core/online/update_server.h"
#include "library/song_library.h"
#include "support/progress_event.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <utility>
#include "test_wait.h"

WindowWithPedals::~WindowWithPedals()
{
    m_driver.reset();
    m_window.reset();
    m_pedals.clear();
}

CPedalEmulator& WindowWithPedals::add_pedal(const SPedalConfig& config)
{
    m_pedals.push_back(std::make_unique<CPedalEmulator>(m_midi.system, config));
    return *m_pedals.back();
}

TandoraQT& WindowWithPedals::make_window(bool first_look_ends)
{
    UPDATE_SERVER::set_base(m_server.base());
    // Each test's own library: what another test recorded for its pedal's slots stays there.
    m_session.set_library(std::make_unique<CSongLibrary>(m_data.filePath("library.sqlite")));
    m_window = std::make_unique<TandoraQT>(m_session);
    m_driver = std::make_unique<CWindowDriver>(*m_window, m_session);
    m_driver->stop_real_timer();
    if (first_look_ends)
        m_driver->wait_until_idle();
    return *m_window;
}

void WindowWithPedals::wait_for_port_change()
{
    wait_or_fail([&] { return driver().device_changed(); }, 3000);
}

CTickingPrompt::CTickingPrompt(std::function<void()> on_first_box, bool answer, bool messages_only)
    : m_previous(install_user_prompt(this)),
      m_on_first_box(std::move(on_first_box)),
      m_answer(answer),
      m_messages_only(messages_only)
{
}

CTickingPrompt::~CTickingPrompt()
{
    install_user_prompt(m_previous);
}

void CTickingPrompt::show_message(const QString&, const QString& text)
{
    messages << text;
    on_box();
}

bool CTickingPrompt::ask_yes_no(const QString&, const QString& text)
{
    questions << text;
    on_box();
    return m_answer;
}

void CTickingPrompt::on_box()
{
    if (messages.size() + (m_messages_only ? 0 : questions.size()) == 1)
        m_on_first_box();
}

CUserDuringWork::CUserDuringWork(TandoraQT& window, std::vector<const char*> buttons)
    : m_window(window), m_buttons(std::move(buttons))
{
}

void CUserDuringWork::act()
{
    if (acted)
        return;
    acted = true;
    auto* pages = m_window.findChild<QTabWidget*>("propSheet");
    song_tab = pages->isTabEnabled(0);
    firmware_tab = pages->isTabEnabled(1);
    bar_shown = m_window.findChild<QProgressBar*>("progressBar")->isVisible();
    for (const char* name : {"m_btnUpload", "m_btnDownload", "m_btnDelete", "m_btnBackup", "m_btnRestore",
                             "m_comMonoMode", "m_comLoudness", "m_chkVerifyImport", "m_btnSelLocal",
                             "m_comNewSoftware", "m_editPath", "m_btnOpen", "m_btnUpdate"})
        if (m_window.findChild<QWidget*>(name)->isEnabled())
            live_controls << name;
    for (const char* name : m_buttons)
        QTest::mouseClick(m_window.findChild<QPushButton*>(name), Qt::LeftButton);
}

bool CUserDuringWork::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == PROGRESS_EVENT_TYPE) {
        bar_texts << m_window.findChild<QProgressBar*>("progressBar")->text();
        act();
    }
    return false;
}

void WindowWithPedals::wait_until_idle()
{
    driver().wait_until_idle();
}
