#pragma once

#include "audio/wave.h"
#include "device/device_detect.h"
#include "device/usb_connect.h"
#include "firmware/pack_file.h"
#include "songs/looper_song_data.h"
#include "ui_tandora_qt.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// The program's one window: the song page, the firmware page and the progress bar, the
// connection timer and the work state that guards every long action. Long actions run
// on the GUI thread and pump the event loop, so every handler here can be re-entered
// while one of them is under way; `m_workState` is the guard.
class TandoraQT : public QMainWindow {
    Q_OBJECT

public:
    enum EWorkState : int32_t {
        WORK_UPLOAD_SONG = 0,      // a slot is read from the pedal into a WAV file (Export)
        WORK_DOWNLOAD_SONG = 1,    // a WAV file is written into a slot (Import)
        WORK_UPDATE_FIRMWARE = 2,  // a firmware package is written into the pedal
        WORK_IDLE = 3,
    };

    explicit TandoraQT(QWidget* parent = nullptr);
    // Stops and joins the detection thread before anything it could touch goes away.
    ~TandoraQT() override;
    TandoraQT(const TandoraQT&) = delete;
    TandoraQT& operator=(const TandoraQT&) = delete;

    // Title from the link: no device, a model and its firmware version, an unknown
    // device, or a pedal that must be put into update mode.
    void update_window_title();

    // Remembered folders in "Config.ini" beside the executable, group [Config]; keys are
    // passed as "/Config/<name>". A missing key or file reads as the empty text; a file
    // that cannot be written is silently not updated.
    static QString read_config(const QString& key);
    static void write_config(const QString& key, const QString& value);

protected:
    void timerEvent(QTimerEvent* event) override;
    void customEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

protected slots:
    void OnOpenFirmwareFile();
    void OnUpdateFirmware();
    void OnDownloadFinished(QNetworkReply* reply);
    void OnSelectLocalFile(bool boSel);
    void OnUploadSong();
    void OnDownloadSong();
    void OnDeleteSong();
    void currentRowChanged(int currentRow);

private:
    friend class CTandoraQTProbe;

    void fit_font_to_form();
    void init_ctrls();
    void init_style_sheet();
    void init_thread();
    void init_online_update();

    // Searches the MIDI ports for a pedal and opens it (boxes of the search included);
    // true when the link is left open in update mode, the only mode it is left open in.
    [[nodiscard]] bool auto_connect();
    void OnDeviceConnectStatusChanged(int connected);
    // The connection watch of one timer tick, once the detection thread saw a change.
    void check_device_change();
    bool is_link_open() const;

    void update_firmware_update_mode();
    void update_button_status();
    void update_edit_status();
    void load_data_from_device();
    void init_firmware_list();

    Ui_TandoraQTClass ui;
    std::unique_ptr<CUSBConnect> m_pUSBConnect;
    QNetworkAccessManager* m_pNetManager = nullptr;
    std::vector<QString> m_lstFirmwareFile;
    CPackFile m_packFile;
    CWave m_wave;
    CLooperSongData m_songData;
    EWorkState m_workState = WORK_IDLE;
    int m_nCurSong = -1;
    QIcon m_iconTone;
    QIcon m_iconToneNone;
    std::unique_ptr<CMidiDeviceDetector> m_pDetectThread;
    // Set by the detection thread when the MIDI port count changes, consumed by the timer.
    std::atomic<bool> m_bDevChanged{false};
    int m_nTimerId = 0;
    // A timer tick's connection check is under way (it may be showing a box).
    bool m_bCheckingConnection = false;
};
