#include "core/pedal_session.h"

#include "audio/song_time_text.h"
#include "device/link_fault.h"
#include "device/model_info.h"
#include "device/pedal_search.h"
#include "device/usb_connect.h"
#include "library/song_library.h"
#include "songs/looper_song_data.h"
#include "songs/song_journal.h"

#include <algorithm>

CPedalSession::CPedalSession()
    : m_link(std::make_unique<CUSBConnect>()),
      m_journal(std::make_unique<CFileJournalStorage>(CFileJournalStorage::default_path())),
      m_songs(std::make_unique<CLooperSongData>(m_link.get())),
      m_answered(std::make_unique<CAnsweredPedals>()),
      m_library(std::make_unique<CSongLibrary>())
{
    m_songs->set_journal(m_journal.get());
}

void CPedalSession::set_journal_storage(std::unique_ptr<CSongJournalStorage> storage)
{
    m_songs->set_journal(storage.get());
    m_journal = std::move(storage);
}

void CPedalSession::set_library(std::unique_ptr<CSongLibrary> library)
{
    m_library = std::move(library);
}

CPedalSession::~CPedalSession() = default;

bool CPedalSession::search_and_open()
{
    // No abort for the ports of the pedal being replaced may reach the one opened now.
    set_port_name({});
    const SPedalSearch search = search_and_open_pedal(*m_link, m_answered.get());
    m_search_notes += pedal_search_messages(search);
    if (search.opened)
        set_port_name(m_link->port().transfer().output_port_name());
    return search.opened;
}

QStringList CPedalSession::take_notes()
{
    // The search raises its notes before it opens the pedal whose replies come after.
    QStringList notes;
    notes.swap(m_search_notes);
    for (const SLinkFault& fault : m_link->take_faults())
        notes << link_fault_text(fault);
    notes += m_songs->take_load_problems();
    notes += m_library->take_notes();
    return notes;
}

COperationResult CPedalSession::with_notes(const COperationResult& result)
{
    const bool service_stopped = m_link->port().transfer().service_stopped();
    return (service_stopped ? result.after_midi_service_stopped() : result).with_notes_before(take_notes());
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
    if (m_link->is_in_update_mode()) {
        set_port_name(m_link->port().transfer().output_port_name());
        return true;
    }
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

uint32_t CPedalSession::product_id() const
{
    return is_open() ? m_link->product_id() : 0;
}

QString CPedalSession::slot_fingerprint(int slot) const
{
    return slot_holds_song(slot) ? m_songs->slot_fingerprint(static_cast<unsigned int>(slot)) : QString();
}

bool CPedalSession::slot_holds_song(int slot) const
{
    return slot >= 0 && m_songs->is_file_exist(static_cast<unsigned int>(slot));
}

ELooperActionResult CPedalSession::load_songs()
{
    // The library is opened here, on the connection's worker: a damaged file is then told
    // with the connection.
    static_cast<void>(m_library->usable());
    return m_songs->load_song_info();
}

ELooperActionResult CPedalSession::reload_slot(int slot)
{
    return slot < 0 ? LOOPER_RESULT_BAD_SLOT : m_songs->reload_slot(static_cast<unsigned int>(slot));
}

uint64_t CPedalSession::free_song_bytes() const
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return 0;
    const BlockStatus& used = m_songs->get_block_status();
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
    return format ? ::song_seconds(bytes, format->channels) : 0;
}
