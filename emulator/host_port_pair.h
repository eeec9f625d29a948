#pragma once

#include "emulator/virtual_midi_system.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Message = std::vector<unsigned char>;

// Position of the `which`-th port named `name` in `ports`' enumeration (a CMidiIn or a
// CMidiOut); throws std::runtime_error when there is none.
template <typename Ports>
unsigned int find_port_named(Ports& ports, const std::string& name, unsigned int which = 0)
{
    const unsigned int count = ports.port_count();
    for (unsigned int i = 0; i < count; ++i) {
        if (ports.port_name(i) == name && which-- == 0)
            return i;
    }
    throw std::runtime_error("no port named " + name);
}

// CHostPortPair: the host's end of a pedal's port pair, for driving an emulated pedal
// without the program's device link (emulator tests, benchmarks, tools). Opens, through
// the seam, the `which`-th input and output port named `name` (throws CMidiError or
// std::runtime_error when there is none), clears the sysex filter, and collects every
// message the callback hands over, noting the thread each callback ran on.
class CHostPortPair {
public:
    CHostPortPair(CMidiSystem& system, const std::string& name, unsigned int which = 0);
    ~CHostPortPair();

    [[nodiscard]] bool is_open() const { return m_in->is_port_open() && m_out->is_port_open(); }
    void send(const Message& message) { m_out->send_message(message.data(), message.size()); }
    // Raw bytes framed F0 ... F7 (packed when `packed`).
    void send_bytes(const std::vector<uint8_t>& bytes, bool packed);

    // The next received message, waiting at most `limit`; nullopt when none came. Wait
    // only for a reply that must come; to see that none came, let the pedal go idle and
    // look at pending().
    std::optional<Message> next(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    // The next message, unframed (and unpacked when `packed`).
    std::optional<std::vector<uint8_t>> next_bytes(bool packed);
    // Number of messages received and not yet taken.
    size_t pending() const;
    bool callback_ran_on(std::thread::id thread) const;

    CMidiIn& input() { return *m_in; }
    CMidiOut& output() { return *m_out; }

private:
    static void on_message(double, std::vector<unsigned char>* message, void* user);

    std::unique_ptr<CMidiIn> m_in;
    std::unique_ptr<CMidiOut> m_out;
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<Message> m_received;
    std::vector<std::thread::id> m_callback_threads;  // each distinct thread once
};
