#include "device/usb_port.h"

#include "support/log_file.h"

bool CUSBPort::is_open_mode(EUsbTransferMode mode)
{
    return mode == TRANSFER_MODE_UPDATE || mode == TRANSFER_MODE_APP;
}

void CUSBPort::apply_mode(EUsbTransferMode mode)
{
    m_mode = mode;
    m_transfer.set_sysex_8_bit_valid(mode == TRANSFER_MODE_UPDATE ? 1 : 0);
}

bool CUSBPort::open(int ports, EUsbTransferMode mode, bool flag)
{
    if (!is_open_mode(mode))
        return false;
    const unsigned int word = static_cast<unsigned int>(ports);
    if (!m_transfer.open(word >> 16, word & 0xFFFF, flag)) {
        m_error = m_transfer.error_text();
        CLogFile::get_instance()->log("CUSBPort::open failed=%s", m_error.c_str());
        return false;
    }
    apply_mode(mode);
    return true;
}

void CUSBPort::close()
{
    m_transfer.close();
    m_mode = TRANSFER_MODE_CLOSED;
}

bool CUSBPort::Write(const unsigned char* data, unsigned int len, unsigned int& written, bool clear_input)
{
    // A link known lost takes no requests until it is opened again: no reply could come.
    if (m_mode == TRANSFER_MODE_CLOSED || m_transfer.waits_aborted())
        return false;
    if (clear_input)
        m_transfer.clear_midi_in_buffer();
    written = m_transfer.write(data, len);
    if (written == len)
        return true;
    m_error = m_transfer.error_text();
    return false;
}

bool CUSBPort::Read(unsigned char* buf, unsigned int len, unsigned int& count, unsigned int timeout)
{
    if (m_mode == TRANSFER_MODE_CLOSED)
        return false;
    count = m_transfer.read(buf, len, timeout);
    if (count != 0)
        return true;
    m_error = m_transfer.error_text();
    return false;
}

bool CUSBPort::set_transfer_mode(EUsbTransferMode mode)
{
    if (!is_open_mode(mode) || !is_open_mode(m_mode))
        return false;
    apply_mode(mode);
    return true;
}
