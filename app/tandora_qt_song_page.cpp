#include "app/tandora_qt.h"

// The song page's commands and list. These are the window's hooks for them: the form
// connects the buttons here and the connection logic calls the loaders, so they exist
// from the start and do nothing until the song commands are built.

void TandoraQT::load_data_from_device() {}

void TandoraQT::update_edit_status() {}

void TandoraQT::OnUploadSong() {}

void TandoraQT::OnDownloadSong() {}

void TandoraQT::OnDeleteSong() {}
