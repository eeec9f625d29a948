#pragma once

#include "device/byte_cycle_array.h"
#include "device/midi_system.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    // read. `timeout` counts waits of one tick (1 ms) on an empty ring; a wait ends early
    // when bytes arrive and is then not counted. Returns the bytes stored, 0 for none.
    [[nodiscard]] unsigned int read(unsigned char* buf, unsigned int len, unsigned int timeout);

    void clear_midi_in_buffer();
    void set_sysex_8_bit_valid(int valid);
    int sysex_8_bit_valid() const { return m_8bit; }

    // Frames (and by the flag packs) len bytes into dst; returns the framed length.
    // dst must hold that length; `write` checks it against the out buffer.
    [[nodiscard]] unsigned int prepare_sysex_out_buffer(const unsigned char* src, unsigned int len,
                                                        unsigned char* dst) const;

    // Receiving side, on the MIDI system's thread: appends one whole message to the ring.
    void ReceiveEvent(std::vector<unsigned char>* message);

    const std::string& error_text() const { return m_error; }
    // Messages dropped because the ring had no room for them whole.
    unsigned int dropped_messages() const { return m_dropped.load(std::memory_order_relaxed); }

    // Length of one counted wait. Tests shorten it so that a time-out of the program's
    // figures passes in a fraction of the time; the program keeps 1 ms. A zero tick only
    // yields the processor once per counted wait.
    void set_wait_tick(std::chrono::microseconds tick) { m_tick = tick; }
    // Waits counted by the last read: equal to its time-out when it timed out.
    unsigned int last_read_waits() const { return m_last_read_waits; }

private:
    [[nodiscard]] bool OpenMidiOut(unsigned int port);
    [[nodiscard]] bool OpenMidiIn(unsigned int port);
    void CloseMidiOut();
    void CloseMidiIn();
    // Waits one tick unless input is pending; true when input arrived.
    bool wait_for_input();

    std::array<unsigned char, BUFFER_SIZE> m_out;
    SByteCycleArray m_in;
    int m_8bit = 1;
    std::mutex m_arrival_mutex;
    std::condition_variable m_arrival;
    std::atomic<unsigned int> m_dropped{0};
    std::chrono::microseconds m_tick{std::chrono::milliseconds(1)};
    unsigned int m_last_read_waits = 0;
    std::string m_error;
    // Declared last: destroyed first, so no callback runs into a ring already gone.
    std::unique_ptr<CMidiOut> m_output;
    std::unique_ptr<CMidiIn> m_input;
};

// Registered with the input port; `user` is the CMIDITranfer. The time stamp is ignored.
void midi_in_callback(double timestamp, std::vector<unsigned char>* message, void* user);
