#include "device/usb_connect.h"

#include "support/log_file.h"
#include "support/task.h"

#include <algorithm>

namespace {
// 5105 bytes: the read reply of 5105 + 15 bytes fills the pedal's 5120-byte buffer.
constexpr unsigned int READ_CHUNK = 5105;
// 5120 data bytes: a write packet of 5135 bytes, the largest message the pedal takes.
constexpr unsigned int WRITE_CHUNK = 5120;
// Reply time-outs in ms: the pedal answers a write chunk or an erase only when the flash
// has finished, which for a NAND block takes far longer than any transfer.
constexpr unsigned int READ_REPLY_TIMEOUT = 5000;
constexpr unsigned int WRITE_REPLY_TIMEOUT = 50000;
constexpr unsigned int ERASE_REPLY_TIMEOUT = 30000;
constexpr unsigned int CHECKSUM_REPLY_TIMEOUT = 30000;

unsigned int chunk_count(unsigned int n, unsigned int chunk)
{
    return n / chunk + (n % chunk != 0 ? 1 : 0);
}
}  // namespace

bool CUSBConnect::flash_read(EFlashType type, unsigned int address, unsigned char* buf, unsigned int n)
{
    for (unsigned int done = 0; done < n;) {
        if (cancelled())
            return false;
        const unsigned int m = std::min(n - done, READ_CHUNK);
        EFlashType got_type = FLASH_TYPE_SYSTEM;
        unsigned int got_address = 0;
        unsigned int got_length = 0;
        if (!send_upload_request(type, address, m) ||
            !get_upload_responds(buf + done, m, got_type, got_address, got_length, READ_REPLY_TIMEOUT) ||
            got_type != type || got_address != address || got_length != m) {
            if (!cancelled())
                CLogFile::get_instance()->log("CUSBConnect::flash_read failed");
            return false;
        }
        done += m;
        address += m;
    }
    return true;
}

bool CUSBConnect::flash_write(EFlashType type, unsigned int address, const unsigned char* data,
                              unsigned int n, CTask* task)
{
    const CTaskScope scope(*this, task ? task : this->task());
    const unsigned int chunks = chunk_count(n, WRITE_CHUNK);
    task_begin_transfer(task);
    for (unsigned int i = 1; i <= chunks; ++i) {
        if (cancelled())
            return false;
        const unsigned int m = std::min(n, WRITE_CHUNK);
        int status = -1;
        if (!send_download_data(type, address, data, m) ||
            !get_responds_responds(status, WRITE_REPLY_TIMEOUT) || status != 0)
            return false;
        task_bytes(task, m);
        task_step(task, i, chunks);
        data += m;
        address += m;
        n -= m;
    }
    return true;
}

bool CUSBConnect::flash_erase(EFlashType type, unsigned int address)
{
    int status = -1;
    return !cancelled() && send_flash_erase_request(type, address) &&
           get_responds_responds(status, ERASE_REPLY_TIMEOUT) && status == 0;
}

bool CUSBConnect::flash_checksum(EFlashType type, unsigned int address, unsigned int n, unsigned int& sum)
{
    EFlashType got_type = FLASH_TYPE_SYSTEM;
    unsigned int got_address = 0;
    unsigned int got_length = 0;
    return !cancelled() && send_flash_checksum_request(type, address, n) &&
           get_flash_checksum_responds(got_type, got_address, got_length, sum, CHECKSUM_REPLY_TIMEOUT);
}

EFlashVerifyResult CUSBConnect::flash_write_and_verify(EFlashType type, unsigned int address,
                                                       const unsigned char* data, unsigned int n, CTask* task)
{
    const CTaskScope scope(*this, task ? task : this->task());
    if (!flash_write(type, address, data, n, task))
        return FLASH_VERIFY_WRITE_FAILED;
    unsigned short own_sum = 0;
    for (unsigned int k = 0; k < n; ++k)
        own_sum = static_cast<unsigned short>(own_sum + data[k]);
    unsigned int device_sum = 0;
    if (!flash_checksum(type, address, n, device_sum))
        return FLASH_VERIFY_TIMEOUT;
    return device_sum == own_sum ? FLASH_VERIFY_OK : FLASH_VERIFY_MISMATCH;
}
