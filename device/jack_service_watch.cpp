#include "device/jack_service_watch.h"

#include "support/log_file.h"

#include <atomic>

namespace {
std::atomic<unsigned int> g_ends_heard{0};
}  // namespace

CJackServiceWatch::CJackServiceWatch(MidiServiceEndCallback callback, void* user)
    : m_callback(callback), m_user(user)
{
    // The server RtMidi's clients reach: the default one, or JACK_DEFAULT_SERVER's.
    m_client = jack_client_open("Tandora MIDI service watch", JackNoStartServer, nullptr);
    if (!m_client) {
        CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "JACK: no server to watch");
        m_callback(m_user);
        return;
    }
    jack_on_info_shutdown(m_client, &CJackServiceWatch::server_ended, this);
}

CJackServiceWatch::~CJackServiceWatch()
{
    if (m_client)
        jack_client_close(m_client);
}

void CJackServiceWatch::server_ended(jack_status_t, const char* reason, void* watch)
{
    CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "JACK: the server ended: %s", reason ? reason : "");
    g_ends_heard.fetch_add(1);
    auto* self = static_cast<CJackServiceWatch*>(watch);
    self->m_callback(self->m_user);
}

unsigned int CJackServiceWatch::ends_heard()
{
    return g_ends_heard.load();
}
