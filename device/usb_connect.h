#pragma once

#include "device/device_packet.h"
#include "device/flash_verify_result.h"
#include "device/link_fault.h"
#include "device/usb_port.h"

#include <array>
#include <string>
#include <vector>

class CTask;
struct SModelInfo;

// The pedal's command protocol. In update mode it sends checksummed packets (flash read,
// write, erase, range checksum, query, mode change); in application mode fixed four-byte
// commands. Every request drops unread input first, so the next message read is its
// reply. Every operation returns its failure and never throws; a bad reply also leaves a
// fault for take_faults(), while a reply wait ended by a cancel or a lost link leaves none.
class CUSBConnect {
public:
    // Ties the link's reply waits and chunk loops to `task` for the scope's life: a cancel
    // ends a wait at once and stops a loop before its next chunk, and the operation fails.
    // Scopes nest; a null task shields what runs inside from an outer task's cancel. Made
    // and ended on the thread that runs the link's operations; the task outlives the scope.
    class CTaskScope {
    public:
        CTaskScope(CUSBConnect& link, CTask* task);
        ~CTaskScope();
        CTaskScope(const CTaskScope&) = delete;
        CTaskScope& operator=(const CTaskScope&) = delete;

    private:
        CUSBConnect& m_link;
        CTask* m_previous;
    };

    static constexpr unsigned int BUFFER_SIZE = 65536;
    static constexpr unsigned int UNKNOWN_INFO = 0xFFFFFFFF;
    static constexpr unsigned int QUERY_REPLY_SIZE = 34;
    // Device information record in the program flash: version, product ID, third word.
    static constexpr unsigned int INFO_RECORD_ADDRESS = 0x2180;
    static constexpr unsigned int INFO_RECORD_SIZE = 16;

    CUSBConnect() = default;
    CUSBConnect(const CUSBConnect&) = delete;
    CUSBConnect& operator=(const CUSBConnect&) = delete;

    // Opens the port pair of the port word (output in bits 16-31, input in bits 0-15),
    // probes update mode, then application mode, and reads the device information. True
    // when a pedal answered in either mode; the transfer mode tells which.
    [[nodiscard]] bool open(unsigned int ports, bool flag);
    void close();
    // Asks the open pedal whether it is still there.
    [[nodiscard]] bool check_connect();
    // Application mode: 59 12 00 34 must come back unchanged.
    [[nodiscard]] bool handshake_simple(unsigned int timeout);
    // Update mode: the query 0x11 and its 34-byte reply. The strings are not filled.
    [[nodiscard]] bool get_device_name_and_version(std::string& name, std::string& version,
                                                   unsigned int timeout);

    bool is_in_update_mode() const { return m_port.transfer_mode() == TRANSFER_MODE_UPDATE; }
    bool is_in_app_mode() const { return m_port.transfer_mode() == TRANSFER_MODE_APP; }
    ESystemMode get_system_mode() const;
    // Asks the pedal to switch its system mode; no reply is read and the link's transfer
    // mode is not changed. True when the request was written (or nothing was needed).
    [[nodiscard]] bool set_system_mode(ESystemMode mode);

    // The task of the innermost CTaskScope, or null.
    CTask* task() const { return m_port.transfer().wait_task(); }
    // The task of the innermost scope has been cancelled.
    [[nodiscard]] bool cancelled() const;
    // From any thread (the detection thread, when the pedal is unplugged): ends every reply
    // wait at once, now and until the next open, so the operation under way fails fast.
    void abort_waits() { m_port.transfer().abort_waits(); }

    // Device information: all bits set until a successful open read it; kept after close.
    unsigned int firmware_version() const { return m_firmware_version; }
    unsigned int product_id() const { return m_product_id; }
    unsigned int third_info_word() const { return m_third_info; }
    // Update mode: reads the information record again, as after a firmware update that
    // rewrote it. On failure the three words stay as they were.
    [[nodiscard]] bool read_update_device_info();
    // The model table row of the product ID, or null.
    const SModelInfo* model_info() const;

    // Update-mode requests: true when the whole packet was written.
    [[nodiscard]] bool send_responds_request(bool ok);
    [[nodiscard]] bool send_query_request(EQueryCmd cmd);
    [[nodiscard]] bool send_download_data(EFlashType type, unsigned int address, const unsigned char* data,
                                          unsigned int n);
    [[nodiscard]] bool send_upload_request(EFlashType type, unsigned int address, unsigned int n);
    [[nodiscard]] bool send_flash_erase_request(EFlashType type, unsigned int address);
    [[nodiscard]] bool send_flash_checksum_request(EFlashType type, unsigned int address, unsigned int n);
    [[nodiscard]] bool send_mode_change_request();

    // Update-mode reply readers. `timeout` in ms of waiting on an empty input.
    [[nodiscard]] bool get_responds_responds(int& status, unsigned int timeout);
    // Reads a reply of exactly `len` bytes into buf; `got` is not written.
    [[nodiscard]] bool get_query_responds(EQueryCmd cmd, unsigned char* buf, unsigned int len,
                                          unsigned int& got, unsigned int timeout);
    // Copies at most n data bytes to `data`.
    [[nodiscard]] bool get_upload_responds(unsigned char* data, unsigned int n, EFlashType& type,
                                           unsigned int& address, unsigned int& length, unsigned int timeout);
    [[nodiscard]] bool get_flash_checksum_responds(EFlashType& type, unsigned int& address,
                                                   unsigned int& length, unsigned int& sum,
                                                   unsigned int timeout);

    // Flash operations. n = 0 succeeds with no traffic. Each fails without further traffic
    // once the scope's task is cancelled.
    [[nodiscard]] bool flash_read(EFlashType type, unsigned int address, unsigned char* buf, unsigned int n);
    // The range must have been erased. With a `task`, reports step i of c and the chunk's
    // bytes per acknowledged chunk, and its cancel stops the write (it is the scope's task
    // meanwhile); without one, the scope's task still stops it.
    [[nodiscard]] bool flash_write(EFlashType type, unsigned int address, const unsigned char* data,
                                   unsigned int n, CTask* task);
    // Erases the erase unit (sector or block) that starts at `address`.
    [[nodiscard]] bool flash_erase(EFlashType type, unsigned int address);
    // The pedal's 16-bit sum of the n bytes at `address`.
    [[nodiscard]] bool flash_checksum(EFlashType type, unsigned int address, unsigned int n,
                                      unsigned int& sum);
    // Writes, then compares the pedal's 16-bit sum of the range with the data's; a sum reply
    // that is bad, not only one that is late, gives FLASH_VERIFY_TIMEOUT. `task` as for
    // flash_write.
    [[nodiscard]] EFlashVerifyResult flash_write_and_verify(EFlashType type, unsigned int address,
                                                            const unsigned char* data, unsigned int n,
                                                            CTask* task);

    // Application-mode commands, four raw bytes 59 a b c.
    [[nodiscard]] bool send_free_cmd(unsigned char a, unsigned char b, unsigned char c);
    [[nodiscard]] bool send_mic_core_cmd(EMicSubCmd sub, unsigned char value);
    [[nodiscard]] bool get_mic_core_status(EMicSubCmd sub, unsigned char& value);
    [[nodiscard]] bool send_mic_app_cmd(unsigned char address, unsigned char value);
    [[nodiscard]] bool get_mic_app_status(unsigned char address, unsigned char& value);

    CUSBPort& port() { return m_port; }
    const CUSBPort& port() const { return m_port; }

    // The faults of bad replies met since the last take, in order, and forgets them. Only
    // the first MAX_FAULTS are kept: a pedal answering garbage in a loop must not grow the
    // list without bound.
    [[nodiscard]] std::vector<SLinkFault> take_faults();
    static constexpr size_t MAX_FAULTS = 16;

private:
    void record_fault(const SLinkFault& fault);
    // Checks the checksum of a received packet whose length field lies inside it.
    [[nodiscard]] bool reply_checksum_ok(const unsigned char* packet);
    // Sends the packet built in the send buffer and notes the reply it asks for.
    [[nodiscard]] bool send_packet(unsigned int length);
    // Reads the reply to the request just sent: at most `len` bytes of it into `buf`. While
    // replies are owed to earlier requests, a sound packet answering another request is
    // taken for one of them and skipped, all within the one `timeout`.
    [[nodiscard]] bool read_reply(unsigned char* buf, unsigned int len, unsigned int& count,
                                  unsigned int timeout);
    // The `count` bytes in the receive buffer are a whole packet with a sound checksum that
    // answers some request of the pedal's protocol, but not the one just sent.
    [[nodiscard]] bool answers_another_request(unsigned int count) const;
    // A status reply cannot tell which request it answers: while a reply is owed, a request
    // answered by one is preceded by a query, whose reply comes only after every reply
    // owed before it. False when the query got no reply.
    [[nodiscard]] bool settle_owed_replies();
    [[nodiscard]] bool send_app_cmd(unsigned char a, unsigned char b, unsigned char c);
    // Sends 59 a b c and reads the four-byte reply into `reply`.
    [[nodiscard]] bool app_exchange(unsigned char a, unsigned char b, unsigned char c, unsigned char* reply,
                                    unsigned int timeout);
    // One information word by four nibble reads, from command `first_cmd` on.
    unsigned int read_app_info_word(unsigned char first_cmd);
    void read_app_device_info();

    CUSBPort m_port;
    CCriticalSection m_lock;
    std::array<unsigned char, BUFFER_SIZE> m_recv{};
    std::array<unsigned char, BUFFER_SIZE> m_send{};
    unsigned int m_firmware_version = UNKNOWN_INFO;
    unsigned int m_product_id = UNKNOWN_INFO;
    unsigned int m_third_info = UNKNOWN_INFO;
    std::vector<SLinkFault> m_faults;
    // The reply the request just sent asks for: its type byte, and for a flash read or range
    // sum the flash type, address and 24-bit length it echoes. NO_REPLY when none.
    struct SAwaitedReply {
        static constexpr unsigned int NO_REPLY = 0x100;
        unsigned int type = NO_REPLY;
        unsigned char flash = 0;
        unsigned int address = 0;
        unsigned int length = 0;
    };
    SAwaitedReply m_awaited;
    // Requests whose reply waits ended without the reply (a cancel, a time-out, a lost link):
    // the pedal may still send those replies. 0 again once a request got its own reply, since
    // the pedal answers in order.
    unsigned int m_owed_replies = 0;
};
