#include "device/usb_connect.h"

#include "device/model_info.h"
#include "support/little_endian.h"
#include "support/task.h"

#include <QDebug>
#include <algorithm>
#include <chrono>

namespace {
// Offsets in a received packet.
constexpr unsigned int TYPE_AT = 2;
constexpr unsigned int PAYLOAD_AT = PACKET_HEADER_SIZE;
constexpr unsigned int STATUS_REPLY_SIZE = 8;
constexpr unsigned int CHECKSUM_REPLY_SIZE = 18;
// Read reply: header, type, address, 24-bit length, the data, checksum.
constexpr unsigned int UPLOAD_DATA_AT = PAYLOAD_AT + 8;
// Owed replies counted at most: a few requests in a row left without a reply already mean
// a pedal that has stopped answering.
constexpr unsigned int MAX_OWED_REPLIES = 4;
// ms the query that settles owed replies may wait: the pedal answers it only once it has
// finished the request owed, which may be a block erase (the erase reply's time-out).
constexpr unsigned int SETTLE_TIMEOUT = 30000;

// True when the payload length field of a received packet of `count` bytes stays inside
// the bytes received, so its checksum can be located.
bool payload_fits(const unsigned char* packet, unsigned int count)
{
    return count >= PACKET_OVERHEAD && packet_payload_length(packet) <= count - PACKET_OVERHEAD;
}
}  // namespace

CUSBConnect::CTaskScope::CTaskScope(CUSBConnect& link, CTask* task) : m_link(link), m_previous(link.task())
{
    m_link.m_port.transfer().set_wait_task(task);
}

CUSBConnect::CTaskScope::~CTaskScope()
{
    m_link.m_port.transfer().set_wait_task(m_previous);
}

bool CUSBConnect::cancelled() const
{
    return task_cancelled(task());
}

const SModelInfo* CUSBConnect::model_info() const
{
    return get_model_info(m_product_id);
}

std::vector<SLinkFault> CUSBConnect::take_faults()
{
    std::vector<SLinkFault> taken;
    taken.swap(m_faults);
    return taken;
}

void CUSBConnect::record_fault(const SLinkFault& fault)
{
    if (m_faults.size() < MAX_FAULTS)
        m_faults.push_back(fault);
}

bool CUSBConnect::reply_checksum_ok(const unsigned char* packet)
{
    const unsigned int L = packet_payload_length(packet);
    const unsigned char* payload = packet + PAYLOAD_AT;
    if (verify_checksum(payload, L, payload[L]))
        return true;
    record_fault({ELinkFault::CHECKSUM, payload_checksum(payload, L), payload[L]});
    return false;
}

bool CUSBConnect::send_packet(unsigned int length)
{
    const unsigned char* packet = m_send.data();
    m_awaited = SAwaitedReply{};
    switch (packet[TYPE_AT]) {
        case PACKET_FLASH_ERASE:
        case PACKET_FLASH_WRITE:
            m_awaited.type = PACKET_RESPONDS;
            break;
        case PACKET_FLASH_READ:
        case PACKET_FLASH_CHECKSUM:
            m_awaited.type = packet[TYPE_AT];
            m_awaited.flash = packet[PAYLOAD_AT];
            m_awaited.address = LE::read32(packet + PAYLOAD_AT + 1);
            m_awaited.length = LE::read24(packet + PAYLOAD_AT + 5);
            break;
        case QUERY_NAME_AND_VERSION:
            m_awaited.type = QUERY_NAME_AND_VERSION;
            break;
        default:
            break;
    }
    unsigned int written = 0;
    return m_port.Write(packet, length, written, true);
}

bool CUSBConnect::answers_another_request(unsigned int count) const
{
    const unsigned char* packet = m_recv.data();
    if (!payload_fits(packet, count) || count != packet_payload_length(packet) + PACKET_OVERHEAD)
        return false;
    const unsigned int L = packet_payload_length(packet);
    if (!verify_checksum(packet + PAYLOAD_AT, L, packet[PAYLOAD_AT + L]))
        return false;
    const unsigned char type = packet[TYPE_AT];
    if (type != PACKET_RESPONDS && type != QUERY_NAME_AND_VERSION && type != PACKET_FLASH_READ &&
        type != PACKET_FLASH_CHECKSUM)
        return false;
    if (type != m_awaited.type)
        return true;
    if (type != PACKET_FLASH_READ && type != PACKET_FLASH_CHECKSUM)
        return false;
    // Both echo the flash type, the address and the length (24 bits) first.
    return L < 8 || packet[PAYLOAD_AT] != m_awaited.flash ||
           LE::read32(packet + PAYLOAD_AT + 1) != m_awaited.address ||
           LE::read24(packet + PAYLOAD_AT + 5) != m_awaited.length;
}

bool CUSBConnect::read_reply(unsigned char* buf, unsigned int len, unsigned int& count, unsigned int timeout)
{
    using std::chrono::milliseconds;
    CWaitClock::duration left = milliseconds(timeout);
    for (;;) {
        count = 0;
        const auto wait_ms = static_cast<unsigned int>(std::chrono::ceil<milliseconds>(left).count());
        const bool got = m_port.Read(m_recv.data(), BUFFER_SIZE, count, wait_ms);
        // A wait cut short by a cancel, a lost link or the MIDI service's end says nothing
        // about the pedal's reply: whatever part of it came must not be judged (and
        // recorded) as a bad one.
        const EReadEnd end = m_port.transfer().last_read_end();
        if (!got || (end != EReadEnd::MESSAGE && end != EReadEnd::TIMED_OUT)) {
            m_owed_replies = std::min(m_owed_replies + 1, MAX_OWED_REPLIES);
            return false;
        }
        left -= m_port.transfer().last_read_waited();
        if (m_owed_replies == 0 || !is_in_update_mode() || !answers_another_request(count))
            break;
        qDebug("CUSBConnect: a late reply of type 0x%.2X to an earlier request was skipped", m_recv[TYPE_AT]);
        --m_owed_replies;
    }
    m_owed_replies = 0;
    count = std::min(count, len);
    if (buf != m_recv.data())
        std::copy(m_recv.data(), m_recv.data() + count, buf);
    return true;
}

bool CUSBConnect::settle_owed_replies()
{
    if (m_owed_replies == 0)
        return true;
    unsigned char reply[QUERY_REPLY_SIZE];
    unsigned int got = 0;
    return send_query_request(QUERY_NAME_AND_VERSION) &&
           get_query_responds(QUERY_NAME_AND_VERSION, reply, QUERY_REPLY_SIZE, got, SETTLE_TIMEOUT);
}

bool CUSBConnect::send_responds_request(bool ok)
{
    return send_packet(make_responds_packet(m_send.data(), ok));
}

bool CUSBConnect::send_query_request(EQueryCmd cmd)
{
    return send_packet(make_query_packet(m_send.data(), cmd));
}

bool CUSBConnect::send_download_data(EFlashType type, unsigned int address, const unsigned char* data,
                                     unsigned int n)
{
    // Compared this way round so that no n, however large, wraps past the check.
    if (n > BUFFER_SIZE - (PACKET_OVERHEAD + 8) || !settle_owed_replies())
        return false;
    return send_packet(make_flash_write_packet(m_send.data(), type, address, data, n));
}

bool CUSBConnect::send_upload_request(EFlashType type, unsigned int address, unsigned int n)
{
    return send_packet(make_flash_read_packet(m_send.data(), type, address, n));
}

bool CUSBConnect::send_flash_erase_request(EFlashType type, unsigned int address)
{
    if (!settle_owed_replies())
        return false;
    return send_packet(make_flash_erase_packet(m_send.data(), type, address));
}

bool CUSBConnect::send_flash_checksum_request(EFlashType type, unsigned int address, unsigned int n)
{
    return send_packet(make_flash_checksum_packet(m_send.data(), type, address, n));
}

bool CUSBConnect::send_mode_change_request()
{
    return send_packet(make_mode_change_packet(m_send.data()));
}

bool CUSBConnect::get_responds_responds(int& status, unsigned int timeout)
{
    unsigned int count = 0;
    if (!read_reply(m_recv.data(), STATUS_REPLY_SIZE, count, timeout))
        return false;
    if (count != STATUS_REPLY_SIZE) {
        record_fault({ELinkFault::STATUS_LENGTH, STATUS_REPLY_SIZE, count});
        return false;
    }
    if (m_recv[TYPE_AT] != PACKET_RESPONDS)
        return false;
    status = m_recv[PAYLOAD_AT];
    return true;
}

bool CUSBConnect::get_query_responds(EQueryCmd cmd, unsigned char* buf, unsigned int len, unsigned int&,
                                     unsigned int timeout)
{
    unsigned int count = 0;
    if (!read_reply(buf, len, count, timeout))
        return false;
    if (count != len || !payload_fits(buf, count)) {
        record_fault({ELinkFault::DATA_LENGTH});
        return false;
    }
    if (buf[TYPE_AT] != static_cast<unsigned char>(cmd)) {
        record_fault({ELinkFault::COMMAND_TYPE});
        return false;
    }
    return reply_checksum_ok(buf);
}

bool CUSBConnect::get_upload_responds(unsigned char* data, unsigned int n, EFlashType& type,
                                      unsigned int& address, unsigned int& length, unsigned int timeout)
{
    if (n > BUFFER_SIZE - (UPLOAD_DATA_AT + 1))
        return false;
    const unsigned int expected = n + UPLOAD_DATA_AT + 1;
    unsigned int count = 0;
    if (!read_reply(m_recv.data(), expected, count, timeout))
        return false;
    const unsigned char* reply = m_recv.data();
    if (count > TYPE_AT && reply[TYPE_AT] != PACKET_FLASH_READ) {
        qDebug("get_upload_responds::Data type not 0x23!\n");
        return false;
    }
    if (count != expected || !payload_fits(reply, count)) {
        const unsigned int needed =
            count != expected ? expected : packet_payload_length(reply) + PACKET_OVERHEAD;
        record_fault({ELinkFault::READ_LENGTH, needed, count});
        return false;
    }
    if (!reply_checksum_ok(reply)) {
        qDebug("get_upload_responds::Checksum error!\n");
        return false;
    }
    type = static_cast<EFlashType>(reply[PAYLOAD_AT]);
    address = LE::read32(reply + PAYLOAD_AT + 1);
    length = LE::read24(reply + PAYLOAD_AT + 5);
    const unsigned int copied = length < n ? length : n;
    std::copy(reply + UPLOAD_DATA_AT, reply + UPLOAD_DATA_AT + copied, data);
    return true;
}

bool CUSBConnect::get_flash_checksum_responds(EFlashType& type, unsigned int& address, unsigned int& length,
                                              unsigned int& sum, unsigned int timeout)
{
    unsigned char reply[CHECKSUM_REPLY_SIZE];
    unsigned int count = 0;
    if (!read_reply(reply, CHECKSUM_REPLY_SIZE, count, timeout))
        return false;
    if (count != CHECKSUM_REPLY_SIZE || reply[TYPE_AT] != PACKET_FLASH_CHECKSUM ||
        !payload_fits(reply, count))
        return false;
    if (!reply_checksum_ok(reply))
        return false;
    type = static_cast<EFlashType>(reply[PAYLOAD_AT]);
    address = LE::read32(reply + PAYLOAD_AT + 1);
    length = LE::read24(reply + PAYLOAD_AT + 5);
    sum = LE::read16(reply + PAYLOAD_AT + 9);
    return true;
}
