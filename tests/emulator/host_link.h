#pragma once

#include "emulator/virtual_midi_system.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Message = std::vector<unsigned char>;

// The host's end of a port pair, opened through the seam as the program opens it: finds
// the input and output ports carrying `name`, clears the sysex filter, and collects every
// message the callback hands over, noting the thread it ran on.
class CHostLink {
public:
    CHostLink(CMidiSystem& system, const std::string& name, unsigned int which = 0);
    ~CHostLink();

    [[nodiscard]] bool is_open() const { return m_in->is_port_open() && m_out->is_port_open(); }
    void send(const Message& message) { m_out->send_message(message.data(), message.size()); }
    // Raw bytes framed F0 ... F7 (packed when `packed`).
    void send_bytes(const std::vector<uint8_t>& bytes, bool packed);

    // The next received message, waiting at most `limit` (a test failure, never a time-out
    // the test relies on: replies are awaited only when one must come).
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
    std::vector<std::thread::id> m_callback_threads;
};
