#pragma once

#include "core/firmware_update/firmware_catalog.h"
#include "core/operation_result.h"

#include <QObject>
#include <functional>
#include <vector>

class CPedalSession;
class CWorkRunner;
class QWidget;
class Ui_TandoraQTClass;

// The Firmware Update page: a package from the online list for the connected model, or,
// with "Select local file for updating", a local .dat file; Update installs it on the work
// runner. What the update does lives in core/.
class CFirmwarePage : public QObject {
    Q_OBJECT

public:
    // `on_written` runs on the GUI thread after every update, with its result, before the
    // result is shown.
    CFirmwarePage(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner, QWidget* window,
                  std::function<void(const COperationResult&)> on_written);

    // The online list fetched for the connected pedal: its packages are offered; a model the
    // list cannot know is offered the local file; a broken list is said.
    void show_catalog(const SFirmwareCatalog& catalog);
    // No pedal: nothing to offer.
    void clear();
    // Enables what the pedal and the runner's state allow: Update only with something to
    // install.
    void update_buttons();
    // The packages offered, in the order of the list.
    const std::vector<SFirmwareEntry>& entries() const { return m_entries; }

    void on_open_file();
    void on_update();
    void on_select_local(bool selected);

private:
    void show_update_mode();
    // Runs `job` on the worker, forced when the Shift key is held at the click.
    using FirmwareJob = std::function<COperationResult(bool forced, CTask& task)>;
    void start_update(const FirmwareJob& job);

    Ui_TandoraQTClass& m_ui;
    CPedalSession& m_session;
    CWorkRunner& m_runner;
    QWidget* m_window;
    std::function<void(const COperationResult&)> m_on_written;
    std::vector<SFirmwareEntry> m_entries;
};
