#pragma once

#include "emulator/emulated_flash.h"
#include "emulator/pedal_models.h"
#include "emulator/pedal_timing.h"
#include "emulator/serial_worker.h"
#include "emulator/virtual_midi_system.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// CPedalEmulator: a USB-MIDI looper pedal on a CVirtualMidiSystem. It is a device, not a
// mock: it speaks sysex on its two ports, keeps its program flash and NAND, and answers
// the way a fast device on a local bus would.
//
// Update mode: 8-to-7 packed packets 59 00 cmd L(3) payload checksum. Commands:
//   0x11 query          -> 34-byte reply, type 0x11, 27-byte payload: the model name
//                          (16 bytes, zero-padded), version, product ID (4 each), 3 zeros
//   0x21 erase          -> status reply; erases the whole erase unit holding the address
//   0x22 write          -> status reply; programs (AND) at most 5120 bytes
//   0x23 read           -> type 0x23 reply echoing type, address, length, then the data;
//                          at most 5105 bytes, so the reply fits the pedal's 5120-byte buffer
//   0x24 range checksum -> 18-byte reply, type 0x24, 16-bit sum of the range
//   0x50 mode change    -> no reply; the pedal is in application mode afterwards
//   0x00 host status    -> no reply (an acknowledgement from the host)
// Flash type 0 is the program flash (1 MiB, 2048-byte sectors, programming clears bits,
// device information record at 0x2180); type 1 the NAND of the model's geometry.
// A status reply is 59 00 00 01 00 00 status checksum. Requests a careful firmware would
// refuse get a status reply with a nonzero code, never silence, so the host fails fast:
//   1 refused (injected fault), 2 address range outside the chip, 3 bad checksum,
//   4 length field not matching the packet or a size over the buffer, 5 unknown command
//   or flash type, 6 the flash failed the erase, write, read or checksum (a chip whose
//   pages are kept in a file that could not be read or written). Messages without the 59 00 head, or not
//   framed F0 ... F7, are ignored.
//
// Application mode: raw four-byte commands in F0 ... F7.
//   59 12 00 34  handshake, echoed;
//   59 XX 00 00  (XX 0x13..0x1E) one byte of the information record read from the program
//                flash, answered 59 XX low-nibble high-nibble;
//   59 21 00 21  re-enumeration request: recorded; the next plug() comes up in update mode;
//   59 50 7F 7F  switch to update mode (no reply, at once, the ports stay);
//   59 30 s v / 59 40 a v store v; 59 31 s 00 / 59 41 a 00 answer 59 31|41 s v.
// Anything else gets no reply.
//
// Faults are injected per command (see SPedalFault). Application-mode replies carry no
// checksum, address or length field, so those three kinds leave them unchanged. A fault
// that falsifies one field keeps the rest of the reply, checksum included, valid.
// A power cut stops the n-th flash operation (erase or write) from now on and leaves the
// pedal silent, its ports still present, until it is re-plugged (unplug() + plug()) or
// power_cycle()d; the flash keeps everything done before the cut.
//
// Timing: instant by default. With realistic timing (set_timing, SPedalTiming::realistic)
// each request and reply spends its wire time on the link and each flash command its erase,
// program or read time in the pedal, as CLinkSchedule computes; the reply latency and
// DELAY faults come on top.
//
// Threads: an instant pedal with no reply latency, no fault and no power cut armed answers
// inside the host's send, on the host's thread: the reply reaches the host's callback
// before send_message returns, with no thread hand-off (CVirtualMidiSystem::deliver_to_host).
// Otherwise requests queue for the pedal's own thread and replies for the system's delivery
// thread: a wait, an unplug or a silence done inside the send would block the sender or
// take the lock the send holds. Every member may be called from any thread. Faults, the
// power cut and the mode take effect from the next request the pedal starts on.
enum class EPedalMode { APP, UPDATE };

enum class EPedalFaultKind {
    REFUSE,              // nothing is done; update mode answers status 1, app mode nothing
    NO_REPLY,            // the command is done, no reply is sent
    SHORT_REPLY,         // the reply loses its last byte
    WRONG_TYPE,          // the reply's type byte (app mode: its second byte) is changed
    WRONG_ADDRESS,       // a read or checksum reply names the address + 1
    BAD_CHECKSUM,        // the reply's checksum byte is inverted
    WRONG_LENGTH_FIELD,  // the reply's payload length field is one more than the payload
    DELAY,               // the reply is sent delay_ms late
    UNPLUG_BEFORE,       // the ports vanish before the command is carried out
    UNPLUG_AFTER,        // the command is carried out, then the ports vanish without a reply
    WRONG_DATA,          // a read reply carries its first data byte inverted, as a failing
                         // flash cell would return it; the reply itself stays well-formed
};

struct SPedalFault {
    EPedalFaultKind kind;
    EPedalMode mode = EPedalMode::UPDATE;  // the mode whose command it matches
    int command = -1;                      // packet command byte (update) or second byte (app); -1: any
    unsigned occurrence = 0;               // 0: every match; n: only the n-th match after it was added
    unsigned delay_ms = 0;                 // for DELAY
    // Update-mode flash commands match only when their address lies in this range, so a
    // fault can hit the audio blocks and spare the info blocks.
    uint32_t first_address = 0;
    uint32_t last_address = UINT32_MAX;

    static SPedalFault update(EPedalFaultKind kind, int command, unsigned occurrence = 0)
    {
        return {kind, EPedalMode::UPDATE, command, occurrence, 0, 0, UINT32_MAX};
    }
    static SPedalFault app(EPedalFaultKind kind, int command, unsigned occurrence = 0)
    {
        return {kind, EPedalMode::APP, command, occurrence, 0, 0, UINT32_MAX};
    }
};

// What a power cut leaves of the operation it interrupts.
enum class EPowerCutEffect {
    NOT_DONE,     // the cut operation did not happen at all
    PARTLY_DONE,  // a write programmed a prefix of its bytes in address order (the pages
                  // before the cut page whole, the cut page up to the cut, the rest still
                  // erased); an erase left its unit half erased (CEmulatedFlash::erase_half_way)
};

// Bytes of a write a PARTLY_DONE cut lets through: half of them unless a count is given.
constexpr uint32_t HALF_OF_THE_WRITE = UINT32_MAX;

// One request as the pedal understood it.
struct SPedalCommandRecord {
    EPedalMode mode;
    uint8_t command;                   // update: packet command byte; app: the second byte
    uint8_t flash_type;                // update flash commands, else 0
    uint32_t address;                  // update flash commands, else 0
    uint32_t length;                   // read/write/checksum byte count, else 0
    std::array<uint8_t, 4> app_bytes;  // app mode: the four bytes; update mode: zeros
};

struct SPedalConfig {
    uint32_t product_id = 0x2712;
    uint32_t firmware_version = 0x00010700;  // 1.7.0
    uint32_t third_word = 0;
    // The mode the pedal powers up in when its application is present (a pedal without an
    // application always starts in update mode).
    EPedalMode boot_mode = EPedalMode::UPDATE;
    std::string port_name;                        // empty: the model's name
    std::optional<SFlashGeometry> nand;           // overrides the model's NAND geometry
    std::optional<SFlashGeometry> program_flash;  // overrides the 1 MiB program flash
    bool plugged = true;                          // plug in at construction
    // The factory writes a small application image into the application area's first sector.
    bool application_installed = true;
    SPedalTiming timing;  // instant unless set
};

class CPedalEmulator {
public:
    // `system` must outlive the pedal.
    CPedalEmulator(CVirtualMidiSystem& system, const SPedalConfig& config = {});
    ~CPedalEmulator();  // unplugs and stops its thread
    CPedalEmulator(const CPedalEmulator&) = delete;
    CPedalEmulator& operator=(const CPedalEmulator&) = delete;

    // Plugging: plug() powers the pedal up in its boot mode (update mode after a
    // re-enumeration request, or while the first sector of the application area is erased:
    // a firmware update writes that sector last, so an update cut short leaves the pedal
    // in update mode, where it can be run again), disarms a pending power cut and appends its ports to the
    // system's enumeration; unplug() removes them and drops requests not yet started.
    // Both are no-ops when already in that state.
    void plug();
    void unplug();
    [[nodiscard]] bool is_plugged() const;
    [[nodiscard]] const std::string& port_name() const { return m_port_name; }
    [[nodiscard]] const SPedalModel& model() const { return m_model; }

    [[nodiscard]] EPedalMode mode() const;
    void set_mode(EPedalMode mode);
    void set_boot_mode(EPedalMode mode);
    // 59 21 00 21 received since the last plug().
    [[nodiscard]] bool replug_requested() const;

    // Direct flash access for setting up and inspecting tests, bypassing the protocol.
    CEmulatedFlash& program_flash() { return m_program_flash; }
    CEmulatedFlash& nand() { return m_nand; }
    // Rewrites the 16-byte information record (the rest of its sector is kept; the unused
    // word becomes 0). Throws std::invalid_argument when the program flash is too small to
    // hold it.
    void set_device_info(uint32_t version, uint32_t product_id, uint32_t third_word);

    // Faults and timing.
    void add_fault(const SPedalFault& fault);
    void clear_faults();
    // The n-th flash operation from this call on (1-based; erases and writes the pedal
    // carries out, refused requests not counted) is cut. `written` is the prefix a
    // PARTLY_DONE write keeps (at most the whole write).
    void cut_power_at_flash_operation(unsigned n, EPowerCutEffect effect = EPowerCutEffect::NOT_DONE,
                                      uint32_t written = HALF_OF_THE_WRITE);
    [[nodiscard]] bool is_powered() const;
    void power_cycle();  // powered again, boot mode as plug() chooses it, ports unchanged
    // Time the pedal takes before each reply; 0 by default.
    void set_reply_latency(std::chrono::microseconds latency);
    // Link and flash timing; takes effect from the next request the host sends.
    void set_timing(const SPedalTiming& timing);
    [[nodiscard]] SPedalTiming timing() const;

    // Requests the pedal recognised as its own (update packets with the 59 00 head,
    // four-byte application commands starting 59), refused ones included, oldest first.
    [[nodiscard]] std::vector<SPedalCommandRecord> command_log() const;
    [[nodiscard]] size_t count_commands(EPedalMode mode, uint8_t command) const;
    void clear_command_log();
    // Blocks until every request received so far has been handled and its reply delivered.
    void wait_until_idle();

private:
    struct SFaultSlot {
        SPedalFault fault;
        unsigned seen = 0;
    };
    struct SRequest {
        std::vector<unsigned char> message;
        LinkClock::time_point arrival;  // when the link has delivered it all
    };
    enum class EFlashWork { ERASE, PROGRAM, READ };
    struct SPowerCut {
        unsigned remaining = 0;  // flash operations until the cut one; 0: none armed
        EPowerCutEffect effect = EPowerCutEffect::NOT_DONE;
        uint32_t written = HALF_OF_THE_WRITE;
    };
    // The fault, if any, that applies to this request (advances the occurrence counters).
    std::optional<SPedalFault> take_fault(EPedalMode mode, uint8_t command, uint32_t address = 0);

    void receive(const std::vector<unsigned char>& message);
    // Whether the request in hand may be answered inside the host's send.
    bool answers_in_send();
    void handle(const std::vector<unsigned char>& message, LinkClock::time_point arrival);
    void handle_update(const std::vector<unsigned char>& message);
    void handle_app(const std::vector<unsigned char>& message);
    // Sends `reply` (nothing when empty) as the fault allows, after the reply latency.
    void finish(std::vector<uint8_t> reply, EPedalMode mode, const std::optional<SPedalFault>& fault);
    void send_status(uint8_t status, const std::optional<SPedalFault>& fault);
    enum class EFlashOutcome { DONE, FAILED, POWER_CUT };
    // Carries out one erase or write.
    [[nodiscard]] EFlashOutcome flash_operation(CEmulatedFlash& flash, bool erase, uint32_t address,
                                                const uint8_t* data, uint32_t length);
    void record(const SPedalCommandRecord& entry);
    // The mode a power-up starts in. Called with m_mutex held.
    EPedalMode power_up_mode() const;
    // Pedal thread: time the request in hand spends on `flash`; waiting for a reply of
    // `wire_bytes` to reach the host after the work and `extra`.
    void add_flash_work(const CEmulatedFlash& flash, EFlashWork work, uint32_t address, uint32_t length);
    void wait_for_reply(std::chrono::microseconds extra, size_t wire_bytes);
    LinkClock::time_point work_end();  // with m_link_mutex held
    CEmulatedFlash* flash_of_type(uint8_t type);
    std::vector<uint8_t> query_payload() const;
    uint32_t info_word(unsigned index) const;

    CVirtualMidiSystem& m_system;
    const SPedalModel m_model;
    const std::string m_port_name;
    CEmulatedFlash m_program_flash;
    CEmulatedFlash m_nand;

    mutable std::mutex m_mutex;  // guards the state below
    std::optional<CVirtualMidiSystem::DeviceId> m_device;
    EPedalMode m_mode;
    EPedalMode m_boot_mode;
    bool m_replug_requested = false;
    bool m_powered = true;
    SPowerCut m_power_cut;
    std::chrono::microseconds m_latency{0};
    std::vector<SFaultSlot> m_faults;
    std::vector<SPedalCommandRecord> m_log;
    std::array<uint8_t, 256> m_mic_core{};
    std::array<uint8_t, 256> m_mic_app{};

    mutable std::mutex m_link_mutex;  // guards m_link; taken on the host's sending thread too
    CLinkSchedule m_link;
    // The request in hand, on the thread handling it (work_end under the lock). The device's
    // sink and the worker's idle check order the two threads that may handle requests.
    bool m_in_send = false;  // handled inside the host's send: no fault may fire
    LinkClock::time_point m_arrival{};
    LinkDuration m_work{0};
    std::optional<LinkClock::time_point> m_work_end;

    // Requests, handled one at a time on the pedal's own thread. Last: stopped first.
    CSerialWorker<SRequest> m_worker;
};
