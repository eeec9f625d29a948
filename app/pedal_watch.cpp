#include "app/pedal_watch.h"

#include "app/message_box.h"
#include "app/work_runner.h"
#include "core/firmware_update/firmware_catalog.h"
#include "core/online/update_server.h"
#include "core/pedal_connect.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/port_watch.h"

#include <QDebug>

namespace {

// What a look found, written on the worker and read on the GUI thread once it has ended.
struct SLook {
    bool was_open = false;
    SPedalConnect connect;
    SFirmwareCatalog catalog;
};

}  // namespace

CPedalWatch::CPedalWatch(CPedalSession& session, CWorkRunner& runner, Changed on_changed, QObject* parent)
    : QObject(parent), m_session(session), m_runner(runner), m_on_changed(std::move(on_changed))
{
    look();
    m_port_watch = std::make_unique<CPortWatch>(m_session, &m_ports_changed);
}

CPedalWatch::~CPedalWatch() = default;

void CPedalWatch::stop_detection()
{
    m_port_watch.reset();
}

void CPedalWatch::tick()
{
    if (!m_runner.idle() || (!m_ports_changed && m_reconnect_ticks == 0))
        return;
    qDebug("timerEvent");
    look();
}

void CPedalWatch::look()
{
    m_ports_changed = false;
    auto found = std::make_shared<SLook>();
    found->was_open = m_session.is_open();
    if (!found->was_open && m_reconnect_ticks > 0)
        --m_reconnect_ticks;
    m_runner.start(
        WORK_CONNECT,
        [this, found](CTask& task) {
            if (found->was_open) {
                found->connect = keep_pedal(m_session);
                return COperationResult::song(LOOPER_RESULT_OK);
            }
            found->connect = connect_pedal(m_session);
            if (found->connect.opened && !UPDATE_SERVER::base().isEmpty())
                found->catalog = fetch_firmware_catalog(pedal_identity(m_session).product_id, &task);
            return COperationResult::song(LOOPER_RESULT_OK);
        },
        [this, found](const COperationResult&) {
            const SPedalConnect& connect = found->connect;
            if (!found->was_open && connect.opened) {
                m_reconnect_ticks = 0;
                qDebug("CDevBaseDlg::connected=TRUE %u\n", pedal_identity(m_session).product_id);
                m_on_changed(connect, &found->catalog);
            } else if (found->was_open && !connect.opened) {
                // The pedal may already be back (re-plugged while an update waited for it)
                // with the port list as it was, or come back in a moment: nothing else would
                // look for it.
                m_reconnect_ticks = kReconnectTicks;
                qDebug("CDevBaseDlg::connected=FALSE\n");
                m_on_changed(connect, nullptr);
            } else {
                show_messages(connect.messages);
            }
        });
}
