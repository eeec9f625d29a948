#include "emulator/host_port_pair.h"

#include "emulator/pedal_wire.h"

#include <algorithm>

CHostPortPair::CHostPortPair(CMidiSystem& system, const std::string& name, unsigned int which)
    : m_in(system.make_input("RtMidi Input Client", 100)), m_out(system.make_output("RtMidi Output Client"))
{
    m_in->open_port(find_port_named(*m_in, name, which), "RtMidi Input");
    m_in->set_callback(&CHostPortPair::on_message, this);
    m_in->ignore_types(false, true, true);
    m_out->open_port(find_port_named(*m_out, name, which), "RtMidi Output");
}

CHostPortPair::~CHostPortPair()
{
    m_in->close_port();
}

void CHostPortPair::send_bytes(const std::vector<uint8_t>& bytes, bool packed)
{
    send(pedal_wire::frame(bytes, packed));
}

void CHostPortPair::on_message(double, std::vector<unsigned char>* message, void* user)
{
    auto* self = static_cast<CHostPortPair*>(user);
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_received.push_back(*message);
        const auto thread = std::this_thread::get_id();
        auto& threads = self->m_callback_threads;
        if (std::find(threads.begin(), threads.end(), thread) == threads.end())
            threads.push_back(thread);
    }
    self->m_arrived.notify_all();
}

std::optional<Message> CHostPortPair::next(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_arrived.wait_for(lock, limit, [this] { return !m_received.empty(); }))
        return std::nullopt;
    Message message = std::move(m_received.front());
    m_received.pop_front();
    return message;
}

std::optional<std::vector<uint8_t>> CHostPortPair::next_bytes(bool packed)
{
    const auto message = next();
    std::vector<uint8_t> bytes;
    if (!message || !pedal_wire::unframe(*message, packed, bytes))
        return std::nullopt;
    return bytes;
}

size_t CHostPortPair::pending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received.size();
}

bool CHostPortPair::callback_ran_on(std::thread::id thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::find(m_callback_threads.begin(), m_callback_threads.end(), thread) !=
           m_callback_threads.end();
}
