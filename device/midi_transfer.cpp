#include "device/midi_transfer.h"

#include "device/sysex_packing.h"

#include <algorithm>

namespace {
constexpr unsigned char SYSEX_START = 0xF0;
constexpr unsigned char SYSEX_END = 0xF7;
// The MIDI library keeps at most this many unread messages in its own queue.
constexpr unsigned int INPUT_QUEUE_LIMIT = 100;
// The longest message that may be packed fills the out buffer exactly, with its frame.
static_assert(packed_sysex_size(CMIDITranfer::MAX_PACKED_MESSAGE) + 2 == CMIDITranfer::BUFFER_SIZE &&
                  packed_sysex_size(CMIDITranfer::MAX_PACKED_MESSAGE + 1) + 2 > CMIDITranfer::BUFFER_SIZE,
              "packed message limit");

// Closes the port of a library object (input or output) that reports it open; a library
// error becomes the error text.
template <typename Port>
void close_if_open(Port* port, std::string& error_text)
{
    try {
        if (port && port->is_port_open())
            port->close_port();
    } catch (const CMidiError& error) {
        error_text = error.what();
    }
}
}  // namespace

void midi_in_callback(double, std::vector<unsigned char>* message, void* user)
{
    static_cast<CMIDITranfer*>(user)->ReceiveEvent(message);
}

CMIDITranfer::CMIDITranfer() : m_in(BUFFER_SIZE) {}

CMIDITranfer::~CMIDITranfer()
{
    close();
    m_input.reset();
    m_output.reset();
}

bool CMIDITranfer::OpenMidiOut(unsigned int port)
{
    try {
        if (!m_output)
            m_output = midi_system().make_output("RtMidi Output Client");
        else
            m_output->close_port();
        m_output_name = m_output->port_name(port);
        m_output->open_port(port, "RtMidi Output");
        return true;
    } catch (const CMidiError& error) {
        m_error = error.what();
        return false;
    }
}

bool CMIDITranfer::OpenMidiIn(unsigned int port)
{
    try {
        if (!m_input) {
            m_input = midi_system().make_input("RtMidi Input Client", INPUT_QUEUE_LIMIT);
            m_input->set_service_end_callback(&CMIDITranfer::service_ended, this);
            // The pedal speaks only sysex, which the library filters by default.
            m_input->ignore_types(false, true, true);
        } else {
            m_input->close_port();
        }
        m_input->open_port(port, "RtMidi Input");
        m_input->set_callback(midi_in_callback, this);
        return true;
    } catch (const CMidiError& error) {
        m_error = error.what();
        return false;
    }
}

void CMIDITranfer::CloseMidiOut()
{
    close_if_open(m_output.get(), m_error);
}

void CMIDITranfer::CloseMidiIn()
{
    close_if_open(m_input.get(), m_error);
}

bool CMIDITranfer::open(unsigned int out_port, unsigned int in_port, bool)
{
    m_link_lost.store(false);
    // Ports of a service that stopped stay dead, even once it runs again. Until ports open
    // on it again, the service counts as stopped.
    const bool was_stopped = m_service_stopped.exchange(false);
    if (was_stopped) {
        m_input.reset();
        m_output.reset();
    }
    if (!OpenMidiOut(out_port) || !OpenMidiIn(in_port)) {
        close();
        if (was_stopped)
            m_service_stopped.store(true);
        return false;
    }
    clear_midi_in_buffer();
    return true;
}

void CMIDITranfer::close()
{
    CloseMidiOut();
    CloseMidiIn();
}

unsigned int CMIDITranfer::prepare_sysex_out_buffer(const unsigned char* src, unsigned int len,
                                                    unsigned char* dst) const
{
    unsigned char* at = dst;
    *at++ = SYSEX_START;
    if (m_8bit) {
        at += pack_8_to_7(src, len, at);
    } else {
        for (unsigned int k = 0; k < len; ++k)
            *at++ = src[k];
    }
    *at++ = SYSEX_END;
    return static_cast<unsigned int>(at - dst);
}

unsigned int CMIDITranfer::write(const unsigned char* data, unsigned int len)
{
    if (len > (m_8bit ? MAX_PACKED_MESSAGE : MAX_RAW_MESSAGE))
        return 0;
    try {
        if (!m_output || !m_output->is_port_open())
            return 0;
        const unsigned int framed = prepare_sysex_out_buffer(data, len, m_out.data());
        m_output->send_message(m_out.data(), framed);
        return len;
    } catch (const CMidiError& error) {
        m_error = error.what();
        return 0;
    }
}

void CMIDITranfer::set_clock(CWaitClock* clock)
{
    m_clock.store(clock ? clock : &steady_wait_clock());
}

void CMIDITranfer::set_wait_task(CTask* task)
{
    if (task == m_wait_task)
        return;
    m_cancel_wake.reset();
    m_wait_task = task;
    if (task)
        m_cancel_wake = std::make_unique<CTask::CCancelWake>(task, [this] { wake_waits(); });
}

void CMIDITranfer::abort_waits()
{
    m_link_lost.store(true);
    wake_waits();
}

void CMIDITranfer::service_ended(void* transfer)
{
    auto* self = static_cast<CMIDITranfer*>(transfer);
    self->m_service_stopped.store(true);
    self->wake_waits();
}

void CMIDITranfer::wake_waits()
{
    // Taking the mutex orders the notification after a waiter's last check of its
    // condition, so a waiter about to block cannot miss it.
    {
        std::lock_guard<std::mutex> lock(m_arrival_mutex);
    }
    m_arrival.notify_all();
}

EReadEnd CMIDITranfer::interruption() const
{
    if (m_service_stopped.load())
        return EReadEnd::SERVICE_STOPPED;
    if (m_link_lost.load())
        return EReadEnd::LINK_LOST;
    if (task_cancelled(m_wait_task))
        return EReadEnd::CANCELLED;
    return EReadEnd::MESSAGE;
}

CWaitClock::duration CMIDITranfer::wait_for_input(CWaitClock::duration left)
{
    CWaitClock& clock = *m_clock.load();
    const CWaitClock::time_point start = clock.now();
    const CWaitClock::time_point deadline = start + left;
    std::unique_lock<std::mutex> lock(m_arrival_mutex);
    clock.wait_until(m_arrival, lock, deadline,
                     [this] { return !m_in.empty() || interruption() != EReadEnd::MESSAGE; });
    CWaitClock::time_point end = clock.now();
    // The wait counts only up to the arrival: a late wake-up is time with bytes pending.
    if (!m_in.empty())
        end = std::clamp(m_last_arrival, start, end);
    return std::min(end - start, left);
}

unsigned int CMIDITranfer::read(unsigned char* buf, unsigned int len, unsigned int timeout)
{
    m_last_waited = CWaitClock::duration::zero();
    m_last_end = EReadEnd::TIMED_OUT;
    if (timeout == 0 || len == 0)
        return 0;
    CWaitClock::duration left = std::chrono::milliseconds(timeout);
    bool in_message = false;
    CSysexUnpacker unpacker;
    unsigned int stored = 0;
    m_last_end = EReadEnd::MESSAGE;
    for (;;) {
        unsigned char b;
        while (m_in.Read(b)) {
            if (!in_message) {
                in_message = b == SYSEX_START;
                continue;
            }
            if (b == SYSEX_END)
                return stored;
            if (!m_8bit)
                buf[stored++] = b;
            else if (unpacker.feed(b, buf[stored]))
                ++stored;
            if (stored == len)
                return stored;
        }
        m_last_end = interruption();
        if (m_last_end != EReadEnd::MESSAGE)
            return stored;
        if (left <= CWaitClock::duration::zero()) {
            m_last_end = EReadEnd::TIMED_OUT;
            return stored;
        }
        const CWaitClock::duration waited = wait_for_input(left);
        m_last_waited += waited;
        left -= waited;
    }
}

void CMIDITranfer::clear_midi_in_buffer()
{
    m_in.Clear();
}

void CMIDITranfer::set_sysex_8_bit_valid(int valid)
{
    m_8bit = valid;
    clear_midi_in_buffer();
}

void CMIDITranfer::ReceiveEvent(std::vector<unsigned char>* message)
{
    if (!message || message->empty())
        return;
    if (message->size() >= BUFFER_SIZE ||
        !m_in.Write(message->data(), static_cast<unsigned int>(message->size()))) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_arrival_mutex);
        m_last_arrival = m_clock.load()->now();
    }
    m_arrival.notify_all();
}
