#pragma once

#include "device/midi_transfer.h"

#include <string>

// How the open port pair carries data; the link's single notion of "connected".
enum EUsbTransferMode : int {
    TRANSFER_MODE_UPDATE = 1,  // packed sysex, checksummed packets; the pedal is in update mode
    TRANSFER_MODE_APP = 2,     // raw sysex, four-byte commands; the pedal is in application mode
    TRANSFER_MODE_CLOSED = 3,
};

// The lock type of the link. The link holds one; none of its operations take it, since
// everything but the input callback runs on the GUI thread.
class CCriticalSection {
public:
    virtual ~CCriticalSection() = default;
};

// The pedal's MIDI input and output ports opened as a pair in one transfer mode, with
// whole-message writes and reads. Failures are returned; the MIDI library's last message
// is kept as error text.
class CUSBPort {
public:
    CUSBPort() = default;
    virtual ~CUSBPort() = default;

    // `ports` is the port word: output port number in bits 16-31, input in bits 0-15.
    // Only modes 1 and 2 open. A failure writes a log record and leaves the mode as it was.
    [[nodiscard]] bool open(int ports, EUsbTransferMode mode, bool flag);
    void close();

    // True when all len bytes went out. `clear_input` drops unread input first, so the
    // next message read is the reply to this one. Refused while the transfer's waits are
    // aborted (the link is lost), until the next open.
    [[nodiscard]] bool Write(const unsigned char* data, unsigned int len, unsigned int& written,
                             bool clear_input);
    // True when any byte came; a short message is a success and `count` tells its length.
    [[nodiscard]] bool Read(unsigned char* buf, unsigned int len, unsigned int& count, unsigned int timeout);

    // Switches an open pair between modes 1 and 2.
    [[nodiscard]] bool set_transfer_mode(EUsbTransferMode mode);

    EUsbTransferMode transfer_mode() const { return m_mode; }
    const std::string& error_text() const { return m_error; }
    CMIDITranfer& transfer() { return m_transfer; }
    const CMIDITranfer& transfer() const { return m_transfer; }

private:
    static bool is_open_mode(EUsbTransferMode mode);
    void apply_mode(EUsbTransferMode mode);

    CMIDITranfer m_transfer;
    EUsbTransferMode m_mode = TRANSFER_MODE_CLOSED;
    std::string m_error;
};
