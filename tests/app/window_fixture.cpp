#include "window_fixture.h"

CDebugLines::CDebugLines()
{
    lines().clear();
    m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtDebugMsg)
            lines() << text;
    });
}

CDebugLines::~CDebugLines()
{
    qInstallMessageHandler(m_previous);
}

QStringList& CDebugLines::lines()
{
    static QStringList collected;
    return collected;
}

WindowWithPedals::~WindowWithPedals()
{
    m_probe.reset();
    m_window.reset();
    m_pedals.clear();
}

CPedalEmulator& WindowWithPedals::add_pedal(const SPedalConfig& config)
{
    m_pedals.push_back(std::make_unique<CPedalEmulator>(m_midi.system, config));
    return *m_pedals.back();
}

TandoraQT& WindowWithPedals::make_window()
{
    m_window = std::make_unique<TandoraQT>(nullptr);
    m_probe = std::make_unique<CTandoraQTProbe>(*m_window);
    m_probe->stop_real_timer();
    return *m_window;
}
