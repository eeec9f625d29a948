#pragma once

#include "device/byte_cycle_array.h"
#include "device/midi_system.h"
#include "device/wait_clock.h"
#include "support/task.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// How the last read ended.
enum class EReadEnd {
    MESSAGE,          // a whole message, or as much of it as the buffer holds
    TIMED_OUT,        // the time-out passed with the input empty; what came of a message is kept
    CANCELLED,        // the wait task was cancelled
    LINK_LOST,        // abort_waits(): the pedal is gone
    SERVICE_STOPPED,  // the MIDI service the ports were opened on has stopped
};

// Moves byte strings to and from the pedal as sysex messages over one output and one
// input port of the installed MIDI system: F0, the bytes (packed 8-to-7 while the 8-bit
// flag is set), F7. Received MIDI bytes collect in a ring from which `read` takes one
// sysex message at a time. Every MIDI error is caught here and kept as error text.
class CMIDITranfer {
public:
    static constexpr unsigned int BUFFER_SIZE = 51200;
    // Input bytes that still fit the out buffer with their frame, packed and raw.
    static constexpr unsigned int MAX_PACKED_MESSAGE = 44798;
    static constexpr unsigned int MAX_RAW_MESSAGE = BUFFER_SIZE - 2;

    CMIDITranfer();
    ~CMIDITranfer();
    CMIDITranfer(const CMIDITranfer&) = delete;
    CMIDITranfer& operator=(const CMIDITranfer&) = delete;

    // Port numbers as the MIDI system enumerates them; re-opening closes the previous
    // ports first. The third argument is not used. On failure both ports are closed.
    [[nodiscard]] bool open(unsigned int out_port, unsigned int in_port, bool);
    void close();

    // Sends `data` as one framed message; `len` on success, 0 on failure.
    [[nodiscard]] unsigned int write(const unsigned char* data, unsigned int len);

    // Stores the next sysex message (without F0/F7, unpacked when the 8-bit flag is set)
    // into buf, at most len bytes; the rest of a longer message is skipped by the next
    // read. `timeout` in ms counts only time spent waiting on an empty ring: time while
    // bytes are pending or being taken does not count. A cancel of the wait task,
    // abort_waits() or the end of the MIDI service ends the wait at once. Returns the bytes
    // stored, 0 for none.
    [[nodiscard]] unsigned int read(unsigned char* buf, unsigned int len, unsigned int timeout);
    EReadEnd last_read_end() const { return m_last_end; }
    // Clock time the last read counted toward its time-out: the time-out itself when it
    // timed out.
    CWaitClock::duration last_read_waited() const { return m_last_waited; }

    // The task whose cancel ends every wait at once; null for none. Set and used on the
    // thread that reads.
    void set_wait_task(CTask* task);
    CTask* wait_task() const { return m_wait_task; }
    // From any thread: ends the current wait and every later one at once, until the next
    // open. For a pedal that was unplugged.
    void abort_waits();
    // By abort_waits() or by the end of the MIDI service.
    bool waits_aborted() const { return m_link_lost.load() || m_service_stopped.load(); }
    // The MIDI service the ports were opened on has stopped since. Every wait ends at once
    // meanwhile; the next open makes its ports afresh, on the service as it is then.
    bool service_stopped() const { return m_service_stopped.load(); }
    // Null puts back the steady clock. Set before the ports carry traffic.
    void set_clock(CWaitClock* clock);

    void clear_midi_in_buffer();
    void set_sysex_8_bit_valid(int valid);
    int sysex_8_bit_valid() const { return m_8bit; }

    // Frames (and by the flag packs) len bytes into dst; returns the framed length.
    // dst must hold that length; `write` checks it against the out buffer.
    [[nodiscard]] unsigned int prepare_sysex_out_buffer(const unsigned char* src, unsigned int len,
                                                        unsigned char* dst) const;

    // Receiving side: appends one whole message to the ring. Runs on the MIDI system's
    // thread, or inside `write` on the reading thread when the device answers at once: the
    // ring's writer is then its reader's thread, and never two threads at the same time.
    void ReceiveEvent(std::vector<unsigned char>* message);

    const std::string& error_text() const { return m_error; }
    // The name the output port had when it was opened, as an enumeration lists it; empty
    // before the first open.
    const std::string& output_port_name() const { return m_output_name; }
    // Messages dropped because the ring had no room for them whole.
    unsigned int dropped_messages() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    [[nodiscard]] bool OpenMidiOut(unsigned int port);
    [[nodiscard]] bool OpenMidiIn(unsigned int port);
    void CloseMidiOut();
    void CloseMidiIn();
    // Waits until input is pending, the wait is interrupted or `left` has passed; returns
    // the time that counts toward the time-out.
    CWaitClock::duration wait_for_input(CWaitClock::duration left);
    EReadEnd interruption() const;
    void wake_waits();
    static void service_ended(void* transfer);

    std::array<unsigned char, BUFFER_SIZE> m_out;
    SByteCycleArray m_in;
    int m_8bit = 1;
    std::mutex m_arrival_mutex;
    std::condition_variable m_arrival;
    std::atomic<unsigned int> m_dropped{0};
    std::atomic<CWaitClock*> m_clock{&steady_wait_clock()};
    // When the last message reached the ring; guarded by m_arrival_mutex.
    CWaitClock::time_point m_last_arrival{};
    std::atomic<bool> m_link_lost{false};
    std::atomic<bool> m_service_stopped{false};
    CTask* m_wait_task = nullptr;
    std::unique_ptr<CTask::CCancelWake> m_cancel_wake;
    EReadEnd m_last_end = EReadEnd::MESSAGE;
    CWaitClock::duration m_last_waited{};
    std::string m_error;
    std::string m_output_name;
    // Declared last: destroyed first, so no callback runs into a ring already gone.
    std::unique_ptr<CMidiOut> m_output;
    std::unique_ptr<CMidiIn> m_input;
};

// Registered with the input port; `user` is the CMIDITranfer. The time stamp is ignored.
void midi_in_callback(double timestamp, std::vector<unsigned char>* message, void* user);
