#include "app/desktop.h"
#include "app/tandora_qt.h"
#include "core/firmware_catalog.h"
#include "core/firmware_update.h"
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
    if (ui.m_btnSelLocal->checkState() == Qt::Checked) {
        const QString path = ui.m_editPath->text();
        if (path.isEmpty()) {
            NEAT::AfxMessageBox(QStringLiteral("No update file selected !"));
            return;
        }
        start_firmware_update([path](CUSBConnect& link, bool forced, CTask& task) {
            return update_firmware(link, path, forced, &task);
        });
        return;
    }
    const int index = ui.m_comNewSoftware->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= m_lstFirmwareFile.size())
        return;
    const unsigned int fileVersion = get_verion_from_file_name(ui.m_comNewSoftware->itemText(index));
    if (fileVersion <= m_session.link().firmware_version() &&
        !user_prompt().ask_yes_no(
            QStringLiteral("Update"),
            QStringLiteral(
                "The selected firmware version less or equal to the connected device, still update ?")))
        return;
    const QString server_path = m_lstFirmwareFile[size_t(index)];
    start_firmware_update([server_path](CUSBConnect& link, bool forced, CTask& task) {
        return update_firmware_online(link, server_path, forced, &task);
    });
}

void TandoraQT::start_firmware_update(const FirmwareJob& job)
{
    // Read at the click: the Shift key held then installs a package of another product.
    const bool forced = desktop().keyboard_modifiers().testFlag(Qt::ShiftModifier);
    start_work(
        WORK_UPDATE_FIRMWARE,
        [this, job, forced](CTask& task) { return job(m_session.link(), forced, task); },
        [this](const COperationResult& result) {
            // The update read the pedal's information again: its new version, if it has one.
            update_window_title();
            // An update that failed may have lost the pedal with the port list unchanged
            // (re-plugged within one look of the detection thread): the next tick checks.
            if (!result.ok())
                m_bDevChanged = true;
            report(result);
        });
}

void TandoraQT::update_firmware_update_mode()
{
    const bool local = ui.m_btnSelLocal->checkState() == Qt::Checked;
    ui.m_labelPath->setVisible(local);
    ui.m_btnOpen->setVisible(local);
    ui.m_editPath->setVisible(local);
    ui.m_labelNewSoftware->setVisible(!local);
    ui.m_comNewSoftware->setVisible(!local);
}

void TandoraQT::OnSelectLocalFile(bool)
{
    update_firmware_update_mode();
}
