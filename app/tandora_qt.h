#pragma once

#include "ui_tandora_qt.h"

#include <QMainWindow>
#include <memory>

class CFirmwarePage;
class CPedalSession;
class CPedalWatch;
class CSongPage;
class CWorkRunner;
struct SFirmwareCatalog;
struct SPedalConnect;

// The program's one window: the form, the connection timer and the title. The song page,
// the firmware page, the work runner and the pedal watch are classes of their own; the
// form's slots forward to them.
class TandoraQT : public QMainWindow {
    Q_OBJECT

public:
    // The window works on `session`, which outlives it. `demo`: the pedal is the emulated
    // demo pedal, and the title says so.
    explicit TandoraQT(CPedalSession& session, bool demo = false, QWidget* parent = nullptr);
    // Waits for a running command and stops the detection thread before anything they
    // could touch goes away.
    ~TandoraQT() override;
    TandoraQT(const TandoraQT&) = delete;
    TandoraQT& operator=(const TandoraQT&) = delete;

    // Title from the session: no device, a model and its firmware version, an unknown
    // device, or a pedal that must be put into update mode.
    void update_window_title();

    CSongPage& song_page() { return *m_song_page; }
    CFirmwarePage& firmware_page() { return *m_firmware_page; }
    CWorkRunner& work_runner() { return *m_runner; }
    CPedalWatch& pedal_watch() { return *m_watch; }
    // The connection timer's id: tests deliver its ticks themselves.
    int timer_id() const { return m_nTimerId; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

protected slots:
    void OnOpenFirmwareFile();
    void OnUpdateFirmware();
    void OnSelectLocalFile(bool boSel);
    void OnUploadSong();
    void OnDownloadSong();
    void OnDeleteSong();
    void OnBackupSongs();
    void OnRestoreSongs();
    void OnSyncSetList();
    void OnPlaySong();
    void OnStopSong();
    void currentRowChanged(int currentRow);

private:
    void fit_font_to_form();
    // Each page's picture under its widgets, extended as the window grows.
    void init_pictures();
    // As the window grows the song list takes the room; the Edit Song box keeps its place
    // at the right edge, the settings under the list theirs at the bottom.
    void anchor_pages();
    // A look found the pedal or lost it: the title, the pages and the look's messages.
    void OnDeviceConnectStatusChanged(const SPedalConnect& connect, const SFirmwareCatalog* catalog);
    // Work states: the page the work does not belong to is disabled until the work ends; a
    // window asked to close during work closes once it has ended.
    void show_work_state(int state);

    Ui_TandoraQTClass ui;
    const bool m_demo;
    CPedalSession& m_session;
    std::unique_ptr<CWorkRunner> m_runner;
    CSongPage* m_song_page = nullptr;
    CFirmwarePage* m_firmware_page = nullptr;
    std::unique_ptr<CPedalWatch> m_watch;
    int m_nTimerId = 0;
    // The user asked to close while work ran: the window closes as soon as it ends.
    bool m_close_when_idle = false;
};
