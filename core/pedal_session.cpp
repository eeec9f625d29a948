#include "core/pedal_session.h"

#include "device/model_info.h"
#include "device/pedal_search.h"
#include "support/neat.h"

#include <algorithm>

CPedalSession::CPedalSession() : m_link(std::make_unique<CUSBConnect>()), m_songs(m_link.get()) {}

bool CPedalSession::search_and_open()
{
    // No abort for the ports of the pedal being replaced may reach the one opened now.
    set_port_name({});
    const SPedalSearch search = search_and_open_pedal(*m_link, &m_answered);
    for (const QString& message : pedal_search_messages(search))
        NEAT::AfxMessageBox(message);
    set_port_name(search.port_name);
    return search.opened;
}

void CPedalSession::set_port_name(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_port_mutex);
    m_port_name = name;
}

void CPedalSession::notice_ports(const std::vector<std::string>& output_names)
{
    std::lock_guard<std::mutex> lock(m_port_mutex);
    if (m_port_name.empty())
        return;
    if (std::find(output_names.begin(), output_names.end(), m_port_name) == output_names.end())
        m_link->abort_waits();
}

bool CPedalSession::open_port(unsigned int ports)
{
    set_port_name({});
    if (!m_link->open(ports, true))
        return false;
    if (m_link->is_in_update_mode())
        return true;
    m_link->close();
    return false;
}

bool CPedalSession::check_connect()
{
    return m_link->check_connect();
}

void CPedalSession::close()
{
    set_port_name({});
    m_link->close();
}

bool CPedalSession::is_open() const
{
    return m_link->port().transfer_mode() != TRANSFER_MODE_CLOSED;
}

bool CPedalSession::is_ready_for_songs() const
{
    return m_link->is_in_update_mode();
}

const SNandFlashConfig* CPedalSession::song_format() const
{
    const SModelInfo* model = m_link->model_info();
    if (!model || model->product_id == CUSBConnect::UNKNOWN_INFO || model->song_slot_count == 0)
        return nullptr;
    return model->nand;
}

bool CPedalSession::slot_holds_song(int slot) const
{
    return slot >= 0 && m_songs.is_file_exist(static_cast<unsigned int>(slot));
}

ELooperActionResult CPedalSession::load_songs()
{
    return m_songs.load_song_info();
}

uint64_t CPedalSession::free_song_bytes() const
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return 0;
    const BlockStatus& used = m_songs.get_block_status();
    uint64_t free_blocks = 0;
    for (uint32_t block = 0; block < format->song_blocks && block < used.size(); ++block)
        free_blocks += used.test(block) ? 0 : 1;
    return free_blocks * format->pages_per_block * format->page_data_size;
}

uint64_t CPedalSession::slot_song_bytes() const
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return 0;
    return uint64_t{format->max_song_blocks} * format->pages_per_block * format->page_data_size;
}

double CPedalSession::song_seconds(uint64_t bytes) const
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return 0;
    return static_cast<double>(bytes) /
           (double(format->sample_rate) * format->channels * (format->bits_per_sample / 8));
}
