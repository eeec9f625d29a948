#include "app/firmware_page.h"

#include "app/app_config.h"
#include "app/desktop.h"
#include "app/message_box.h"
#include "app/user_prompt.h"
#include "app/work_runner.h"
#include "core/firmware_update/firmware_update.h"
#include "core/online/update_server.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "support/neat.h"
#include "ui_tandora_qt.h"

namespace {

const QString kFirmwareDir = QStringLiteral("/Config/FirmwareDir");

}  // namespace

CFirmwarePage::CFirmwarePage(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner,
                             QWidget* window, std::function<void(const COperationResult&)> on_written)
    : QObject(window),
      m_ui(ui),
      m_session(session),
      m_runner(runner),
      m_window(window),
      m_on_written(std::move(on_written))
{
    m_ui.m_tabFirmwareUpdate->setWindowOpacity(0.5);
    show_update_mode();
    // Without an update server (the demo, unless given one) nothing will fill the list.
    if (UPDATE_SERVER::base().isEmpty()) {
        const QString why = QStringLiteral(
            "No update server in the demo: the firmware list stays empty. "
            "Tick \"Select local file for updating\" to install a file.");
        m_ui.m_comNewSoftware->setPlaceholderText(QStringLiteral("No update server in the demo"));
        m_ui.m_comNewSoftware->setToolTip(why);
    }
    connect(m_ui.m_editPath, &QLineEdit::textChanged, this, [this] { update_buttons(); });
}

void CFirmwarePage::update_buttons()
{
    const bool ready = m_runner.idle() && pedal_identity(m_session).update_mode;
    const std::initializer_list<QWidget*> controls{m_ui.m_btnSelLocal, m_ui.m_comNewSoftware, m_ui.m_editPath,
                                                   m_ui.m_btnOpen};
    for (QWidget* control : controls)
        control->setEnabled(ready);
    const bool local = m_ui.m_btnSelLocal->checkState() == Qt::Checked;
    const bool chosen = local ? !m_ui.m_editPath->text().isEmpty() : !m_entries.empty();
    m_ui.m_btnUpdate->setEnabled(ready && chosen);
}

void CFirmwarePage::on_open_file()
{
    const QString folder = read_config(kFirmwareDir);
    const QString path = user_prompt().get_open_file_name(m_window, QStringLiteral("Open firmware file"),
                                                          folder, QStringLiteral("DAT Files(*.dat)"));
    if (path.isEmpty())
        return;
    write_config(kFirmwareDir, NEAT::get_folder_from_path(path));
    m_ui.m_editPath->setText(path);
}

void CFirmwarePage::on_update()
{
    if (!m_runner.idle())
        return;
    if (m_ui.m_btnSelLocal->checkState() == Qt::Checked) {
        const QString path = m_ui.m_editPath->text();
        if (path.isEmpty()) {
            show_message(QStringLiteral("No update file selected !"));
            return;
        }
        CQuestions& questions = m_runner.questions();
        start_update([this, path, &questions](bool forced, CTask& task) {
            return update_firmware(m_session, path, forced, questions, &task);
        });
        return;
    }
    const int index = m_ui.m_comNewSoftware->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= m_entries.size())
        return;
    const SFirmwareEntry entry = m_entries[size_t(index)];
    CQuestions& questions = m_runner.questions();
    start_update([this, entry, &questions](bool forced, CTask& task) {
        return update_firmware_online(m_session, entry, forced, questions, &task);
    });
}

void CFirmwarePage::start_update(const FirmwareJob& job)
{
    // Read at the click: the Shift key held then installs a package of another product.
    const bool forced = desktop().keyboard_modifiers().testFlag(Qt::ShiftModifier);
    m_runner.start(
        WORK_UPDATE_FIRMWARE, [job, forced](CTask& task) { return job(forced, task); },
        [this](const COperationResult& result) {
            m_on_written(result);
            show_result(result);
        });
}

void CFirmwarePage::show_catalog(const SFirmwareCatalog& catalog)
{
    switch (catalog.result) {
        case ECatalogResult::DOWNLOAD_FAILED:
            return;
        case ECatalogResult::UNKNOWN_MODEL:
            m_ui.m_btnSelLocal->setCheckState(Qt::Checked);
            show_update_mode();
            update_buttons();
            return;
        case ECatalogResult::LIST_BROKEN:
            show_message(catalog.message);
            return;
        case ECatalogResult::OK:
            break;
    }
    // Both lists restart together: an item left in the box would install the package of
    // another index.
    m_entries = catalog.entries;
    m_ui.m_comNewSoftware->clear();
    for (const SFirmwareEntry& entry : m_entries)
        m_ui.m_comNewSoftware->addItem(entry.name);
    if (m_ui.m_comNewSoftware->count() > 0)
        m_ui.m_comNewSoftware->setCurrentIndex(0);
    update_buttons();
}

void CFirmwarePage::clear()
{
    m_entries.clear();
    m_ui.m_comNewSoftware->clear();
    update_buttons();
}

void CFirmwarePage::show_update_mode()
{
    const bool local = m_ui.m_btnSelLocal->checkState() == Qt::Checked;
    m_ui.m_labelPath->setVisible(local);
    m_ui.m_btnOpen->setVisible(local);
    m_ui.m_editPath->setVisible(local);
    m_ui.m_labelNewSoftware->setVisible(!local);
    m_ui.m_comNewSoftware->setVisible(!local);
}

void CFirmwarePage::on_select_local(bool)
{
    show_update_mode();
    update_buttons();
}
