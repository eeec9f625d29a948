#include "pedal_kit.h"

#include "device/midi_transfer.h"
#include "device/nand_flash_config.h"
#include "emulator/host_port_pair.h"
#include "fake_wait_clock.h"
#include "support/little_endian.h"
#include "support/log_file.h"

#include <QFile>

#include <algorithm>

#include <mutex>
#include <stdexcept>
#include <vector>

unsigned int pedal_port_word(CMidiSystem& system, const std::string& name, unsigned int which)
{
    const std::unique_ptr<CMidiIn> inputs = system.make_input("RtMidi Input Client", 100);
    const std::unique_ptr<CMidiOut> outputs = system.make_output("RtMidi Output Client");
    return (find_port_named(*outputs, name, which) << 16) | find_port_named(*inputs, name, which);
}

std::vector<SPedalCommandRecord> update_commands(CPedalEmulator& pedal, int command)
{
    pedal.wait_until_idle();
    std::vector<SPedalCommandRecord> matching;
    for (const SPedalCommandRecord& record : pedal.command_log()) {
        if (record.mode == EPedalMode::UPDATE && (command < 0 || record.command == command))
            matching.push_back(record);
    }
    return matching;
}

CTaskRecorder::CTaskRecorder()
{
    task.set_listener([this] {
        const int percent = task.progress().percent;
        if (percent != (percents.empty() ? 0 : percents.back()))
            percents.push_back(percent);
    });
}

int step_percent(uint64_t done, uint64_t total)
{
    return static_cast<int>(done * 100 / total);
}

namespace {
// The handler is process-wide and called from any thread that writes debug output.
std::mutex g_debug_mutex;
QStringList g_debug_lines;

void capture_message(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    g_debug_lines << text;
}

QStringList log_records()
{
    QFile file(CLogFile::get_instance()->path());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
}  // namespace

CDebugCapture::CDebugCapture()
{
    {
        std::lock_guard<std::mutex> lock(g_debug_mutex);
        g_debug_lines.clear();
    }
    m_previous = qInstallMessageHandler(capture_message);
}

CDebugCapture::~CDebugCapture()
{
    qInstallMessageHandler(m_previous);
}

QStringList CDebugCapture::lines() const
{
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    return g_debug_lines;
}

bool CDebugCapture::contains(const QString& text) const
{
    const QStringList captured = lines();
    return std::any_of(captured.begin(), captured.end(),
                       [&](const QString& line) { return line.trimmed() == text.trimmed(); });
}

int log_line_count()
{
    return log_records().size();
}

QStringList log_lines_after(int before)
{
    return log_records().mid(before);
}

void store_full_song_records(CPedalEmulator& pedal, const SNandFlashConfig& nand, unsigned int slot_count)
{
    const unsigned int chain = nand.max_song_blocks;
    const uint32_t units = chain * nand.pages_per_block * nand.page_data_size / nand.unit_size;
    for (unsigned int slot = 0; slot < slot_count; ++slot) {
        // "HD", flag, length in units, the chain, and the 16-bit sum of all between.
        std::vector<uint8_t> record(2 * chain + 9, 0);
        record[0] = 'H';
        record[1] = 'D';
        record[2] = 0xFF;
        LE::write32(&record[3], units);
        for (unsigned int i = 0; i < chain; ++i)
            LE::write16(&record[7 + 2 * i], slot * chain + i);
        uint32_t sum = 0;
        for (size_t i = 2; i < 7 + 2 * chain; ++i)
            sum += record[i];
        LE::write16(&record[7 + 2 * chain], sum & 0xFFFF);
        const uint32_t address = nand.base_addr + (nand.song_blocks + slot) * nand.block_size;
        if (!pedal.nand().program(address, record.data(), static_cast<uint32_t>(record.size())))
            throw std::runtime_error("the song record does not fit the pedal's NAND");
    }
}

QByteArray info_record_sector(uint32_t version, uint32_t product_id)
{
    QByteArray bytes(INFO_SECTOR_SIZE, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 13 + 9);
    auto* record = reinterpret_cast<unsigned char*>(bytes.data()) + (0x2180 - INFO_SECTOR_ADDRESS);
    LE::write32(record, version);
    LE::write32(record + 4, product_id);
    LE::write32(record + 8, 0);
    LE::write32(record + 12, 0);
    return bytes;
}

bool open_settled(CMIDITranfer& transfer, CPedalEmulator& pedal, const std::function<bool()>& open)
{
    CFakeWaitClock clock;
    clock.set_settle([&pedal] { pedal.wait_until_idle(); });
    transfer.set_clock(&clock);
    const bool opened = open();
    transfer.set_clock(nullptr);
    return opened;
}
