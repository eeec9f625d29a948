#include "pedal_fixture.h"

#include "support/log_file.h"
#include "support/progress_event.h"

#include <QFile>
#include <QTextStream>

PedalTest::PedalTest() : m_previous(install_midi_system(&m_system)) {}

PedalTest::~PedalTest()
{
    m_link.reset();
    m_pedals.clear();
    install_midi_system(m_previous);
}

CPedalEmulator& PedalTest::add_pedal(const SPedalConfig& config)
{
    m_pedals.push_back(std::make_unique<CPedalEmulator>(m_system, config));
    return *m_pedals.back();
}

bool PedalTest::open_link(CPedalEmulator& pedal)
{
    std::unique_ptr<CMidiIn> inputs = m_system.make_input("probe", 100);
    std::unique_ptr<CMidiOut> outputs = m_system.make_output("probe");
    unsigned int in_port = 0;
    while (in_port < inputs->port_count() && inputs->port_name(in_port) != pedal.port_name())
        ++in_port;
    unsigned int out_port = 0;
    while (out_port < outputs->port_count() && outputs->port_name(out_port) != pedal.port_name())
        ++out_port;
    return m_link->open((out_port << 16) | in_port, true);
}

void PedalTest::fast_timeouts()
{
    m_link->port().transfer().set_wait_tick(std::chrono::microseconds(0));
}

void CProgressRecorder::customEvent(QEvent* event)
{
    if (event->type() == PROGRESS_EVENT_TYPE) {
        const auto* progress = static_cast<CEventBase*>(event);
        events.emplace_back(progress->m_param1, progress->m_param2);
    }
}

namespace {
std::mutex g_debug_mutex;
QStringList g_debug_lines;
QtMessageHandler g_previous_handler = nullptr;

void capture_message(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    g_debug_lines << text;
}
}  // namespace

CDebugCapture::CDebugCapture()
{
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    g_debug_lines.clear();
    g_previous_handler = qInstallMessageHandler(capture_message);
}

CDebugCapture::~CDebugCapture()
{
    qInstallMessageHandler(g_previous_handler);
}

QStringList CDebugCapture::lines() const
{
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    return g_debug_lines;
}

bool CDebugCapture::contains(const QString& text) const
{
    for (const QString& line : lines()) {
        if (line.trimmed() == text.trimmed())
            return true;
    }
    return false;
}

int log_line_count()
{
    QFile file(CLogFile::get_instance()->path());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts).size();
}

QStringList log_lines_after(int before)
{
    QFile file(CLogFile::get_instance()->path());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts).mid(before);
}
