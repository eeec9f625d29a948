#include "app/desktop.h"
#include "app/tandora_qt.h"
#include "app/window_task.h"
#include "firmware/flash_config.h"
#include "support/neat.h"

#include <QDir>
#include <QTemporaryFile>
#include <algorithm>

namespace {

// Beside the program: each section's layout goes here while the start addresses are collected.
const char kCalcTempName[] = "~calcTemp.ini";

// NAND is programmed page by page, once per erase. 4096 bytes are whole pages on every
// NAND the pedals carry (2048 and 4096-byte pages) and fit one write packet (5120 bytes),
// so pieces of this size that start on such a boundary never program a page twice; a
// single write of the section would cut pages at every 5120-byte chunk.
constexpr unsigned int kNandWriteGrain = 4096;

// Replaces the file at `path` with section `index`'s layout text. False when the package
// gives none: writing nothing would leave the previous section's layout in the file, and
// this section would go where that one went.
bool write_layout_text(CPackFile& pack, unsigned int index, const QString& path)
{
    unsigned int length = 0;
    const char* text = pack.get_file_config(index, length);
    return text && NEAT::WriteFile(path, reinterpret_cast<const unsigned char*>(text), length);
}

// Loads the layout at `path`, showing why when it does not load or cannot hold `length`.
bool load_layout_for(CFlashConfig& config, const QString& path, unsigned int length)
{
    if (!config.load_flash_config(path)) {
        NEAT::AfxMessageBox(config.error_text());
        return false;
    }
    if (config.total() < length || config.sectors().empty()) {
        NEAT::AfxMessageBox(QStringLiteral("Space not enough !"));
        return false;
    }
    return true;
}

}  // namespace

bool TandoraQT::update_firmware(const QString& path)
{
    begin_work_state(WORK_UPDATE_FIRMWARE);
    if (!m_packFile.open(path)) {
        NEAT::AfxMessageBox(m_packFile.error_text());
        return false;
    }
    const unsigned int device = m_pUSBConnect->product_id();
    const bool forced = desktop().keyboard_modifiers().testFlag(Qt::ShiftModifier);
    if (device != CUSBConnect::UNKNOWN_INFO && device != m_packFile.get_file_product_ID() && !forced) {
        NEAT::AfxMessageBox(QStringLiteral("File not match the connected device,please confirm"));
        return false;
    }
    std::vector<SPackFlashStartAddr> list;
    if (!get_all_packet_start_addr(list))
        return false;
    std::sort(list.begin(), list.end());

    // In the temporary folder under a unique name: never the settings file, a package
    // downloaded beside the program, nor anything the user keeps beside a local package.
    QTemporaryFile layout(QDir::tempPath() + QStringLiteral("/tandora_layout_XXXXXX.ini"));
    if (!layout.open()) {
        NEAT::AfxMessageBox(QStringLiteral("Create temporary file failed !"));
        return false;
    }
    const QString layoutPath = layout.fileName();
    auto section = [&](const SPackFlashStartAddr& entry, bool erasing) {
        if (!write_layout_text(m_packFile, entry.index, layoutPath))
            return false;
        unsigned int length = 0;
        const auto* data =
            reinterpret_cast<const unsigned char*>(m_packFile.get_file_data(entry.index, length));
        if (!data)
            return false;
        return erasing ? erase(layoutPath, data, length) : update(layoutPath, data, length);
    };
    for (const SPackFlashStartAddr& entry : list) {
        if (!section(entry, true))
            return false;
    }
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
        if (!section(*entry, false))
            return false;
    }
    return true;
}

bool TandoraQT::get_all_packet_start_addr(std::vector<SPackFlashStartAddr>& list)
{
    list.clear();
    const QString calcPath = NEAT::GetAppDir() + kCalcTempName;
    bool ok = true;
    for (unsigned int i = 0; ok && i < m_packFile.get_section_count(); ++i) {
        CFlashConfig config;
        ok = write_layout_text(m_packFile, i, calcPath);
        if (ok && !config.load_flash_config(calcPath)) {
            NEAT::AfxMessageBox(config.error_text());
            ok = false;
        }
        if (ok && config.sectors().empty()) {
            NEAT::AfxMessageBox(QString::asprintf("Data%u flash config has no sector !", i + 1));
            ok = false;
        }
        if (ok)
            list.push_back({i, config.sectors().front().address});
    }
    NEAT::remove_if_exist(calcPath);
    return ok;
}

bool TandoraQT::erase(const QString& layoutPath, const unsigned char*, unsigned int length)
{
    CFlashConfig config;
    if (!load_layout_for(config, layoutPath, length))
        return false;
    const unsigned int count = config.envaluate_sector_count_to_save_data(length);
    uint64_t erased = 0;
    for (unsigned int i = 0; i < count && (i == 0 || erased < length); ++i) {
        const SFlashSector& sector = config.sectors()[i];
        if (!m_pUSBConnect->flash_erase(static_cast<EFlashType>(sector.type), sector.address)) {
            NEAT::AfxMessageBox(QString::asprintf("Erase sector failed,address=0x%.8X", sector.address));
            return false;
        }
        erased += sector.size;
        ui.progressBar->setValue(static_cast<int>(80ULL * (i + 1) / count));
        NEAT::PeekAndPump();
    }
    return true;
}

bool TandoraQT::update(const QString& layoutPath, const unsigned char* data, unsigned int length)
{
    CFlashConfig config;
    if (!load_layout_for(config, layoutPath, length))
        return false;
    const SFlashSector& first = config.sectors().front();
    const int code = update_write_flash_and_verify(static_cast<EFlashType>(first.type), first.address,
                                                   first.size, data, length);
    ui.progressBar->setValue(100);
    switch (code) {
        case 1:
            return true;
        case 0:
            NEAT::AfxMessageBox(QStringLiteral("Write data failed !"));
            return false;
        case 3:
            NEAT::AfxMessageBox(QStringLiteral("Verify data failed"));
            return false;
        default:
            NEAT::AfxMessageBox(QStringLiteral("Write data timeout !"));
            return false;
    }
}

int TandoraQT::update_write_flash_and_verify(EFlashType type, unsigned int start,
                                             unsigned int firstSectorSize, const unsigned char* data,
                                             unsigned int length)
{
    // With the first sector written last, an interrupted update leaves the start of the
    // image erased, never a complete-looking start in front of a half-written rest.
    if (type != FLASH_TYPE_NAND && length > firstSectorSize) {
        const int code =
            write_and_verify(type, start + firstSectorSize, data + firstSectorSize, length - firstSectorSize);
        if (code != 1)
            return code;
        return write_and_verify(type, start, data, firstSectorSize);
    }
    return write_and_verify(type, start, data, length);
}

int TandoraQT::write_and_verify(EFlashType type, unsigned int address, const unsigned char* data,
                                unsigned int length)
{
    CWindowTask task(this);
    if (type != FLASH_TYPE_NAND)
        return m_pUSBConnect->flash_write_and_verify(type, address, data, length, task.get());
    const CUSBConnect::CTaskScope scope(*m_pUSBConnect, task.get());
    const unsigned int lead = address % kNandWriteGrain;
    const unsigned int pieces = std::max(
        1U, static_cast<unsigned int>((uint64_t(lead) + length + kNandWriteGrain - 1) / kNandWriteGrain));
    unsigned int done = 0;
    for (unsigned int piece = 1; piece <= pieces; ++piece) {
        const unsigned int size =
            std::min(length - done, kNandWriteGrain - (address + done) % kNandWriteGrain);
        const int code =
            m_pUSBConnect->flash_write_and_verify(type, address + done, data + done, size, nullptr);
        if (code != 1)
            return code;
        done += size;
        task.get()->add_bytes(size);
        task.get()->set_step(piece, pieces);
    }
    return 1;
}
