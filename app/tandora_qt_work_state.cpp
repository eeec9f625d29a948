#include "app/tandora_qt.h"

#include "support/neat.h"

namespace {

// Tab 0 holds the song page, tab 1 the firmware page.
constexpr int kSongTab = 0;
constexpr int kFirmwareTab = 1;

}  // namespace

void TandoraQT::begin_work_state(EWorkState state)
{
    ui.progressBar->setValue(0);
    ui.progressBar->show();
    m_workState = state;
    if (state == WORK_UPDATE_FIRMWARE)
        ui.propSheet->setTabEnabled(kSongTab, false);
    else if (state == WORK_UPLOAD_SONG || state == WORK_DOWNLOAD_SONG)
        ui.propSheet->setTabEnabled(kFirmwareTab, false);
}

void TandoraQT::end_work_state()
{
    ui.progressBar->hide();
    if (m_workState == WORK_UPDATE_FIRMWARE)
        ui.propSheet->setTabEnabled(kSongTab, true);
    else if (m_workState == WORK_UPLOAD_SONG || m_workState == WORK_DOWNLOAD_SONG)
        ui.propSheet->setTabEnabled(kFirmwareTab, true);
    m_workState = WORK_IDLE;
}

void TandoraQT::report(ELooperActionResult result)
{
    NEAT::AfxMessageBox(looper_action_result_text(result));
}
