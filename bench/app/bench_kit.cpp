#include "bench_kit.h"

#include "app/tandora_qt.h"
#include "app/work_runner.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "bench_app: %s failed (%s)\n", what, qPrintable(detail));
    std::exit(1);
}

void wait_for_result(CResultPrompt& prompt, const QString& expected)
{
    while (prompt.last.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (prompt.last.section(QLatin1Char('\n'), 0, 0) != expected)
        fail("the command", prompt.last);
}

void wait_until_idle(TandoraQT& window)
{
    while (!window.work_runner().idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

CTickGaps::CTickGaps()
{
    m_ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_ticks, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_last = now;
    });
}

void CTickGaps::start()
{
    m_clock.start();
    m_ticks.start(1);
}
