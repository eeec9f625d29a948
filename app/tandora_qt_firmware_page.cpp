#include "app/tandora_qt.h"

// The firmware page's commands and the online lists. These are the window's hooks for
// them: the form connects the buttons here and the connection logic calls the list
// loader, so they exist from the start and do nothing until the firmware update and the
// online checks are built.

void TandoraQT::OnOpenFirmwareFile() {}

void TandoraQT::OnUpdateFirmware() {}

void TandoraQT::OnDownloadFinished(QNetworkReply*) {}

void TandoraQT::init_firmware_list() {}
