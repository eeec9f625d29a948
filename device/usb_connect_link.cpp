#include "device/usb_connect.h"

#include "support/little_endian.h"

#include <QDebug>
#include <algorithm>

namespace {
constexpr unsigned char APP_HEAD = 0x59;
constexpr unsigned int APP_CMD_SIZE = 4;
// Time-outs in ms. The probes are short because a port pair that is not a pedal in that
// mode stays silent and the search must move on; the check runs on the GUI thread.
constexpr unsigned int UPDATE_PROBE_TIMEOUT = 200;
constexpr unsigned int APP_PROBE_TIMEOUT = 100;
constexpr unsigned int CHECK_TIMEOUT = 50;
constexpr unsigned int APP_INFO_TIMEOUT = 1000;
constexpr unsigned int MIC_STATUS_TIMEOUT = 1000;

constexpr unsigned char HANDSHAKE[APP_CMD_SIZE] = {APP_HEAD, 0x12, 0x00, 0x34};
// Application-mode nibble reads: four consecutive commands per information word.
constexpr unsigned char APP_READ_VERSION = 0x13;
constexpr unsigned char APP_READ_PRODUCT_ID = 0x17;
constexpr unsigned char APP_READ_THIRD_WORD = 0x1B;
constexpr unsigned char APP_MODE_CHANGE = 0x50;
constexpr unsigned char MIC_CORE_CMD = 0x30;
constexpr unsigned char MIC_CORE_STATUS = 0x31;
constexpr unsigned char MIC_APP_CMD = 0x40;
constexpr unsigned char MIC_APP_STATUS = 0x41;
}  // namespace

bool CUSBConnect::open(unsigned int ports, bool flag)
{
    if (!m_port.open(static_cast<int>(ports), TRANSFER_MODE_UPDATE, flag)) {
        close();
        return false;
    }
    std::string name;
    std::string version;
    if (get_device_name_and_version(name, version, UPDATE_PROBE_TIMEOUT)) {
        // A pedal whose record does not read is still open; the words keep what they held.
        if (!read_update_device_info())
            qDebug("CUSBConnect::open: the device information could not be read");
        return true;
    }
    if (!m_port.set_transfer_mode(TRANSFER_MODE_APP) || !handshake_simple(APP_PROBE_TIMEOUT)) {
        close();
        return false;
    }
    read_app_device_info();
    return true;
}

bool CUSBConnect::read_update_device_info()
{
    unsigned char record[INFO_RECORD_SIZE];
    if (!flash_read(FLASH_TYPE_SYSTEM, INFO_RECORD_ADDRESS, record, INFO_RECORD_SIZE))
        return false;
    m_firmware_version = LE::read32(record);
    m_product_id = LE::read32(record + 4);
    m_third_info = LE::read32(record + 8);
    return true;
}

void CUSBConnect::read_app_device_info()
{
    m_firmware_version = read_app_info_word(APP_READ_VERSION);
    m_product_id = read_app_info_word(APP_READ_PRODUCT_ID);
    m_third_info = read_app_info_word(APP_READ_THIRD_WORD);
}

unsigned int CUSBConnect::read_app_info_word(unsigned char first_cmd)
{
    unsigned int word = 0;
    for (unsigned int k = 0; k < 4; ++k) {
        unsigned char reply[APP_CMD_SIZE];
        if (!app_exchange(static_cast<unsigned char>(first_cmd + k), 0x00, 0x00, reply, APP_INFO_TIMEOUT))
            return UNKNOWN_INFO;
        const unsigned int byte = ((reply[3] & 0x0F) << 4) | (reply[2] & 0x0F);
        word |= byte << (8 * k);
    }
    return word;
}

void CUSBConnect::close()
{
    m_port.close();
}

bool CUSBConnect::get_device_name_and_version(std::string&, std::string&, unsigned int timeout)
{
    unsigned char reply[QUERY_REPLY_SIZE];
    unsigned int got = 0;
    return send_query_request(QUERY_NAME_AND_VERSION) &&
           get_query_responds(QUERY_NAME_AND_VERSION, reply, QUERY_REPLY_SIZE, got, timeout);
}

bool CUSBConnect::handshake_simple(unsigned int timeout)
{
    unsigned char reply[APP_CMD_SIZE];
    return app_exchange(HANDSHAKE[1], HANDSHAKE[2], HANDSHAKE[3], reply, timeout) &&
           std::equal(reply, reply + APP_CMD_SIZE, HANDSHAKE);
}

bool CUSBConnect::check_connect()
{
    std::string name;
    std::string version;
    switch (m_port.transfer_mode()) {
        case TRANSFER_MODE_UPDATE:
            return get_device_name_and_version(name, version, CHECK_TIMEOUT);
        case TRANSFER_MODE_APP:
            return handshake_simple(CHECK_TIMEOUT);
        default:
            return false;
    }
}

ESystemMode CUSBConnect::get_system_mode() const
{
    switch (m_port.transfer_mode()) {
        case TRANSFER_MODE_UPDATE:
            return SYSTEM_MODE_UPDATE;
        case TRANSFER_MODE_APP:
            return SYSTEM_MODE_APP;
        default:
            return SYSTEM_MODE_NONE;
    }
}

bool CUSBConnect::set_system_mode(ESystemMode mode)
{
    switch (m_port.transfer_mode()) {
        case TRANSFER_MODE_APP:
            return mode == SYSTEM_MODE_APP || send_app_cmd(APP_MODE_CHANGE, 0x7F, 0x7F);
        case TRANSFER_MODE_UPDATE:
            return mode == SYSTEM_MODE_UPDATE || send_mode_change_request();
        default:
            return false;
    }
}

bool CUSBConnect::send_app_cmd(unsigned char a, unsigned char b, unsigned char c)
{
    const unsigned char command[APP_CMD_SIZE] = {APP_HEAD, a, b, c};
    unsigned int written = 0;
    return m_port.Write(command, APP_CMD_SIZE, written, true);
}

bool CUSBConnect::app_exchange(unsigned char a, unsigned char b, unsigned char c, unsigned char* reply,
                               unsigned int timeout)
{
    unsigned int count = 0;
    return send_app_cmd(a, b, c) && read_reply(reply, APP_CMD_SIZE, count, timeout) && count == APP_CMD_SIZE;
}

bool CUSBConnect::send_free_cmd(unsigned char a, unsigned char b, unsigned char c)
{
    return send_app_cmd(a, b, c);
}

bool CUSBConnect::send_mic_core_cmd(EMicSubCmd sub, unsigned char value)
{
    return send_app_cmd(MIC_CORE_CMD, static_cast<unsigned char>(sub), value);
}

bool CUSBConnect::get_mic_core_status(EMicSubCmd sub, unsigned char& value)
{
    unsigned char reply[APP_CMD_SIZE];
    if (!app_exchange(MIC_CORE_STATUS, static_cast<unsigned char>(sub), 0x00, reply, MIC_STATUS_TIMEOUT))
        return false;
    value = reply[3];
    return true;
}

bool CUSBConnect::send_mic_app_cmd(unsigned char address, unsigned char value)
{
    return send_app_cmd(MIC_APP_CMD, address, value);
}

bool CUSBConnect::get_mic_app_status(unsigned char address, unsigned char& value)
{
    unsigned char reply[APP_CMD_SIZE];
    if (!app_exchange(MIC_APP_STATUS, address, 0x00, reply, MIC_STATUS_TIMEOUT))
        return false;
    value = reply[3];
    return true;
}
