#include "app/tandora_qt.h"
#include "core/firmware_catalog.h"
#include "core/firmware_package_download.h"
#include "support/neat.h"
#include "support/user_prompt.h"

namespace {

const QString kFirmwareDir = QStringLiteral("/Config/FirmwareDir");

}  // namespace

void TandoraQT::OnOpenFirmwareFile()
{
    const QString folder = read_config(kFirmwareDir);
    const QString path = user_prompt().get_open_file_name(this, QStringLiteral("Open firmware file"), folder,
                                                          QStringLiteral("DAT Files(*.dat)"));
    if (path.isEmpty())
        return;
    write_config(kFirmwareDir, NEAT::get_folder_from_path(path));
    ui.m_editPath->setText(path);
}

void TandoraQT::OnUpdateFirmware()
{
    if (m_workState != WORK_IDLE)
        return;
    bool ok = false;
    if (ui.m_btnSelLocal->checkState() == Qt::Checked) {
        const QString path = ui.m_editPath->text();
        if (path.isEmpty()) {
            NEAT::AfxMessageBox(QStringLiteral("No update file selected !"));
            return;
        }
        ok = update_firmware(path);
    } else {
        const int index = ui.m_comNewSoftware->currentIndex();
        if (index < 0 || static_cast<size_t>(index) >= m_lstFirmwareFile.size())
            return;
        const unsigned int fileVersion = get_verion_from_file_name(ui.m_comNewSoftware->itemText(index));
        if (fileVersion <= m_pUSBConnect->firmware_version() &&
            !user_prompt().ask_yes_no(
                QStringLiteral("Update"),
                QStringLiteral(
                    "The selected firmware version less or equal to the connected device, still update ?")))
            return;
        ok = update_online_firmware(m_lstFirmwareFile[static_cast<size_t>(index)]);
    }
    NEAT::AfxMessageBox(ok ? QStringLiteral("Successful!") : QStringLiteral("Failed!"));
    end_work_state();
}

bool TandoraQT::update_online_firmware(const QString& serverPath)
{
    // The download waits in a nested event loop. In the work state already, the timer
    // cannot drop or replace the pedal meanwhile, a second click cannot start a second
    // update, and the window cannot be closed under it.
    begin_work_state(WORK_UPDATE_FIRMWARE);
    const SPackageDownload package = download_firmware_package(serverPath, nullptr);
    if (!package.result.ok()) {
        NEAT::AfxMessageBox(QStringLiteral("Download firmware failed !"));
        return false;
    }
    return update_firmware(package.file->fileName());
}
