#include "app/desktop.h"
#include "app/my_http.h"
#include "app/tandora_qt.h"
#include "app/update_server.h"
#include "core/firmware_update.h"
#include "support/neat.h"
#include "support/user_prompt.h"

#include <QDir>
#include <QRegExp>
#include <QTemporaryFile>

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
        start_firmware_update(path);
        return;
    }
    const int index = ui.m_comNewSoftware->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= m_lstFirmwareFile.size())
        return;
    const unsigned int fileVersion = get_verion_from_file_name(ui.m_comNewSoftware->itemText(index));
    if (fileVersion <= m_session.link().firmware_version() &&
        !user_prompt().ask_yes_no(
            QStringLiteral("Update"),
            QStringLiteral("The selected firmware version less or equal to the connected device, still update ?")))
        return;
    // The download waits in a nested event loop. In the work state already, the timer
    // cannot drop or replace the pedal meanwhile, a second click cannot start a second
    // update, and the window cannot be closed under it.
    begin_work_state(WORK_UPDATE_FIRMWARE);
    QByteArray package;
    if (!CMyHttp::get_instance()->download_file(UPDATE_SERVER::base() + m_lstFirmwareFile[size_t(index)],
                                                package)) {
        NEAT::AfxMessageBox(QStringLiteral("Download firmware failed !"));
        NEAT::AfxMessageBox(QStringLiteral("Failed!"));
        end_work_state();
        return;
    }
    // In the system's temporary folder: the program's own may be read-only.
    auto file = std::make_shared<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/tandora_firmware_XXXXXX.dat"));
    if (!file->open() || file->write(package) != package.size() || !file->flush()) {
        NEAT::AfxMessageBox(QStringLiteral("Create temporary file failed !"));
        NEAT::AfxMessageBox(QStringLiteral("Failed!"));
        end_work_state();
        return;
    }
    end_work_state();
    start_firmware_update(file->fileName(), [file] { file->remove(); });
}

void TandoraQT::start_firmware_update(const QString& path, std::function<void()> on_end)
{
    const bool forced = desktop().keyboard_modifiers().testFlag(Qt::ShiftModifier);
    start_work(
        WORK_UPDATE_FIRMWARE,
        [this, path, forced](CTask& task) { return update_firmware(m_session.link(), path, forced, &task); },
        [this, on_end = std::move(on_end)](const COperationResult& result) {
            report(result);
            if (on_end)
                on_end();
        });
}

unsigned TandoraQT::get_verion_from_file_name(QString name)
{
    name = name.toLower();
    int at = name.indexOf(QLatin1String("_v"));
    if (at < 0)
        at = name.indexOf(QLatin1String("-v"));
    if (at < 0)
        return 0;
    QString text = name.mid(at + 2);
    const int cut = text.indexOf(QRegExp(QStringLiteral("[-_]")));
    if (cut >= 0)
        text.truncate(cut);
    return NEAT::convert_str_to_version(text);
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
