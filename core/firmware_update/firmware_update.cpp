#include "core/firmware_update/firmware_update.h"

#include "core/firmware_update/firmware_catalog.h"
#include "core/firmware_update/firmware_package_download.h"
#include "core/firmware_update/pack_flash_start_addr.h"
#include "core/pedal_session.h"
#include "core/questions.h"
#include "device/model_info.h"
#include "device/usb_connect.h"
#include "firmware/flash_config.h"
#include "firmware/pack_file.h"
#include "support/task.h"

#include <QByteArray>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace {

// NAND is programmed page by page, once per erase. 4096 bytes are whole pages on every
// NAND the pedals carry (2048 and 4096-byte pages) and fit one write packet (5120 bytes),
// so pieces of this size that start on such a boundary never program a page twice; a
// single write of the section would cut pages at every 5120-byte chunk.
constexpr unsigned int kNandWriteGrain = 4096;

// The erase pass fills the bar to 80, the write pass from there to 100.
constexpr int kErasePercent = 80;

const QString kNoStopText = QStringLiteral("The pedal is being written; the update cannot stop now.");
const QString kRestartText = QStringLiteral("Restart the pedal to run the new firmware.");
const QString kLostText =
    QStringLiteral("The pedal was disconnected. Plug it in again and run the update again.");

// One section as the passes need it: its layout parsed and its image unpacked, once.
// The package the user chose, by the name the user knows it by.
struct SPackageChoice {
    QString path;
    QString name;
    // Install a package made for another product (the window's Shift key).
    bool force = false;
};

struct SSection {
    SPackFlashStartAddr start;
    CFlashConfig layout;
    QByteArray image;
};

enum class EStep { OK, FAILED, CANCELLED, DECLINED };

// How the install went; a failed step says why.
struct SInstall {
    EStep step = EStep::OK;
    QString why;
};

SInstall failed(const QString& why)
{
    return {EStep::FAILED, why};
}

// A refused package: its own text, and under it the sentence a musician can act on.
QString refusal(const QString& text, EPackProblem problem)
{
    const QString plain = pack_problem_text(problem);
    return plain.isEmpty() ? text : text + QLatin1Char('\n') + plain;
}

QString model_name(unsigned int product_id)
{
    const SModelInfo* model = get_model_info(product_id);
    return model ? QString::fromLatin1(model->model_name) : QStringLiteral("product %1").arg(product_id);
}

// Reads every section's layout and image; `why` says which did not load, and the update
// must then not touch the pedal at all.
bool load_sections(CPackFile& pack, std::vector<SSection>& sections, QString& why)
{
    sections.resize(pack.get_section_count());
    for (unsigned int i = 0; i < sections.size(); ++i) {
        SSection& section = sections[i];
        unsigned int length = 0;
        const char* text = pack.get_file_config(i, length);
        if (!text) {
            why = refusal(pack.error_text(), pack.problem());
            return false;
        }
        if (!section.layout.load_flash_config_text(QByteArray(text, static_cast<int>(length)))) {
            why = refusal(section.layout.error_text(), EPackProblem::DAMAGED);
            return false;
        }
        if (section.layout.sectors().empty()) {
            why = refusal(QString::asprintf("Data%u flash config has no sector !", i + 1),
                          EPackProblem::DAMAGED);
            return false;
        }
        section.start = {i, section.layout.sectors().front().address};
        const char* data = pack.get_file_data(i, length);
        if (!data) {
            why = refusal(pack.error_text(), pack.problem());
            return false;
        }
        section.image = QByteArray(data, static_cast<int>(length));
        if (section.layout.total() < length) {
            why = refusal(QStringLiteral("Space not enough !"), EPackProblem::DAMAGED);
            return false;
        }
    }
    return true;
}

// Erases the sectors `section`'s image needs, the first one at least; `why` names the
// sector that failed.
bool erase(CUSBConnect& link, const SSection& section, CTask* task, QString& why)
{
    const auto length = static_cast<unsigned int>(section.image.size());
    const unsigned int count = section.layout.envaluate_sector_count_to_save_data(length);
    uint64_t erased = 0;
    for (unsigned int i = 0; i < count && (i == 0 || erased < length); ++i) {
        const SFlashSector& sector = section.layout.sectors()[i];
        if (!link.flash_erase(static_cast<EFlashType>(sector.type), sector.address)) {
            why = QString::asprintf("Erase sector failed,address=0x%.8X", sector.address);
            return false;
        }
        erased += sector.size;
        task_step(task, i + 1, count);
    }
    return true;
}

// One flash_write_and_verify of the range; NAND in page-aligned pieces.
EFlashVerifyResult write_and_verify(CUSBConnect& link, EFlashType type, unsigned int address,
                                    const unsigned char* data, unsigned int length, CTask* task)
{
    if (type != FLASH_TYPE_NAND)
        return link.flash_write_and_verify(type, address, data, length, task);
    task_begin_transfer(task);
    const unsigned int lead = address % kNandWriteGrain;
    const unsigned int pieces = std::max(
        1U, static_cast<unsigned int>((uint64_t(lead) + length + kNandWriteGrain - 1) / kNandWriteGrain));
    unsigned int done = 0;
    for (unsigned int piece = 1; piece <= pieces; ++piece) {
        const unsigned int size =
            std::min(length - done, kNandWriteGrain - (address + done) % kNandWriteGrain);
        const EFlashVerifyResult result =
            link.flash_write_and_verify(type, address + done, data + done, size, nullptr);
        if (result != FLASH_VERIFY_OK)
            return result;
        done += size;
        task_bytes(task, size);
        task_step(task, piece, pieces);
    }
    return FLASH_VERIFY_OK;
}

// Program flash sections longer than their first sector get that sector last: an
// interrupted update leaves the start of the image erased, never a complete-looking start
// in front of a half-written rest.
EFlashVerifyResult write_section(CUSBConnect& link, const SSection& section, CTask* task)
{
    const SFlashSector& first = section.layout.sectors().front();
    const auto type = static_cast<EFlashType>(first.type);
    const auto* data = reinterpret_cast<const unsigned char*>(section.image.constData());
    const auto length = static_cast<unsigned int>(section.image.size());
    if (type != FLASH_TYPE_NAND && length > first.size) {
        const EFlashVerifyResult rest = write_and_verify(link, type, first.address + first.size,
                                                         data + first.size, length - first.size, task);
        if (rest != FLASH_VERIFY_OK)
            return rest;
        return write_and_verify(link, type, first.address, data, first.size, task);
    }
    return write_and_verify(link, type, first.address, data, length, task);
}

// Checks the whole package before it asks: a package that would be refused asks nothing.
SInstall install(CUSBConnect& link, const SPackageChoice& choice, CQuestions& questions, CTask* task)
{
    CPackFile pack;
    if (!pack.open(choice.path))
        return failed(refusal(pack.error_text(), pack.problem()));
    const unsigned int device = link.product_id();
    if (device != CUSBConnect::UNKNOWN_INFO && device != pack.get_file_product_ID() && !choice.force)
        return failed(QStringLiteral("File not match the connected device,please confirm\n"
                                     "This package is for another pedal model (%1).")
                          .arg(model_name(pack.get_file_product_ID())));
    std::vector<SSection> sections;
    QString why;
    if (!load_sections(pack, sections, why))
        return failed(why);
    std::stable_sort(sections.begin(), sections.end(),
                     [](const SSection& a, const SSection& b) { return a.start < b.start; });
    const SModelInfo* model = link.model_info();
    const QString pedal = model ? QStringLiteral("the %1").arg(QString::fromLatin1(model->model_name))
                                : QStringLiteral("the pedal");
    if (!questions.ask_yes_no(QStringLiteral("Update"),
                              QStringLiteral("Write firmware %1 into %2? Keep the pedal plugged in until the "
                                             "update ends.")
                                  .arg(choice.name, pedal)))
        return {EStep::DECLINED, {}};
    if (task) {
        if (!task->forbid_cancel(kNoStopText))
            return {EStep::CANCELLED, {}};
        uint64_t bytes = 0;
        for (const SSection& section : sections)
            bytes += static_cast<uint64_t>(section.image.size());
        // The bytes of a download before are another transfer; the speed counts from the
        // first byte written, as the erase pass moves none of them.
        task->restart_transfer(bytes);
        task->set_percent_range(0, kErasePercent);
    }
    for (const SSection& section : sections) {
        if (!erase(link, section, task, why))
            return failed(why);
    }
    if (task)
        task->set_percent_range(kErasePercent, 100);
    for (auto section = sections.rbegin(); section != sections.rend(); ++section) {
        const EFlashVerifyResult written = write_section(link, *section, task);
        task_step(task, 1, 1);
        if (written != FLASH_VERIFY_OK)
            return failed(flash_verify_text(written));
    }
    return {};
}

COperationResult install_package(CPedalSession& session, const SPackageChoice& choice, CQuestions& questions,
                                 CTask* task)
{
    CUSBConnect& link = session.link();
    const unsigned int version_before = link.firmware_version();
    const SInstall installed = install(link, choice, questions, task);
    if (installed.step == EStep::CANCELLED)
        return COperationResult::cancelled();
    if (installed.step == EStep::DECLINED)
        return COperationResult::declined();
    if (installed.step != EStep::OK) {
        const COperationResult failure = COperationResult::firmware(false).with_notes_before({installed.why});
        // A MIDI service that stopped is told instead, by the session (with_notes).
        const CMIDITranfer& transfer = link.port().transfer();
        if (transfer.waits_aborted() && !transfer.service_stopped())
            return failure.with_detail(kLostText);
        return failure;
    }
    // A package that rewrote the information record shows its version at once; otherwise
    // the pedal tells its new version only once it runs the new program.
    if (!link.read_update_device_info() || link.firmware_version() == version_before)
        return COperationResult::firmware(true).with_detail(kRestartText);
    return COperationResult::firmware(true);
}

}  // namespace

COperationResult update_firmware_online(CPedalSession& session, const SFirmwareEntry& entry, bool force,
                                        CQuestions& questions, CTask* task)
{
    if (entry.version <= session.link().firmware_version() &&
        !questions.ask_yes_no(
            QStringLiteral("Update"),
            QStringLiteral(
                "The selected firmware version less or equal to the connected device, still update ?")))
        return COperationResult::declined();
    const SPackageDownload package = download_firmware_package(entry.server_path, task);
    if (package.result.outcome == EDownloadOutcome::CANCELLED)
        return COperationResult::cancelled();
    if (!package.result.ok())
        return COperationResult::firmware(false)
            .with_detail(package.result.message)
            .with_notes_before({QStringLiteral("Download firmware failed !")});
    return install_package(session, {package.file->fileName(), entry.name, force}, questions, task);
}

COperationResult update_firmware(CPedalSession& session, const QString& path, bool force,
                                 CQuestions& questions, CTask* task)
{
    return install_package(session, {path, QFileInfo(path).completeBaseName(), force}, questions, task);
}
