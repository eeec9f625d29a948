#pragma once

#include "app/pack_flash_start_addr.h"
#include "audio/wave.h"
#include "device/device_detect.h"
#include "device/usb_connect.h"
#include "firmware/pack_file.h"
#include "songs/looper_action_result.h"
#include "songs/looper_song_data.h"
#include "ui_tandora_qt.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QFile;
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
    // Asks whether to download the newer program `newest`, once the window is idle: a box
    // in the middle of a transfer would hold the pedal until the user answers.
    void offer_new_program(float newest);

    // Searches the MIDI ports for a pedal and opens it (boxes of the search included);
    // true when the link is left open in update mode, the only mode it is left open in.
    [[nodiscard]] bool auto_connect();
    void OnDeviceConnectStatusChanged(int connected);
    // The connection watch of one timer tick, once the detection thread saw a change.
    void check_device_change();
    bool is_link_open() const;

    void update_firmware_update_mode();
    void init_firmware_list();

    // The firmware update. Every step shows its own failure; the caller shows the result.
    // Installs the package at `path` into the connected pedal: product check, start
    // addresses of all sections, erase pass ascending, write pass descending.
    [[nodiscard]] bool update_firmware(const QString& path);
    // Downloads the online list's package at `serverPath` and installs it.
    [[nodiscard]] bool update_online_firmware(const QString& serverPath);
    // Each section's index and first sector address. False, after showing why, when a
    // section's layout does not load or names no sector: the update must then not touch
    // the pedal at all.
    [[nodiscard]] bool get_all_packet_start_addr(std::vector<SPackFlashStartAddr>& list);
    // Erases the sectors of the layout in `layoutPath` that `length` bytes need (the first
    // one at least); `data` is not used.
    [[nodiscard]] bool erase(const QString& layoutPath, const unsigned char* data, unsigned int length);
    // Writes and verifies one section at the start of its layout.
    [[nodiscard]] bool update(const QString& layoutPath, const unsigned char* data, unsigned int length);
    // Program flash sections longer than their first sector get that sector last; the
    // result is the code of flash_write_and_verify (1 written and verified).
    [[nodiscard]] int update_write_flash_and_verify(EFlashType type, unsigned int start, unsigned int firstSectorSize,
                                                    const unsigned char* data, unsigned int length);
    // One flash_write_and_verify of the range; NAND in page-aligned pieces.
    [[nodiscard]] int write_and_verify(EFlashType type, unsigned int address, const unsigned char* data,
                                       unsigned int length);

    // Work states: the progress bar shows and the page the work does not belong to is
    // disabled until the work ends.
    void begin_work_state(EWorkState state);
    void end_work_state();
    // The result's message in a box; success included.
    void report(ELooperActionResult result);

    // The song list, one line per slot of the store, and the buttons that act on it.
    void load_data_from_device();
    void InitTreeFromMicData();
    // Rebuilds the list and selects `row` (-1: none).
    void update_tree_name(int row);
    void select_tree_item(int row);
    void update_button_status();
    void update_edit_status();
    // The pedal is open in update mode, the only mode songs are read and written in.
    bool is_ready_for_songs() const;
    bool slot_holds_song(int slot) const;
    QString song_line(int slot) const;
    // The stored audio format of the connected model, or null when it keeps no songs.
    const SNandFlashConfig* song_format() const;

    // A command that asked the user goes on only if, meanwhile, no timer tick dropped or
    // replaced the pedal and the same slot is still selected.
    bool is_still_selected(int slot) const;
    // Reads the slot and saves it into the open `file` as a 48000 Hz, 24-bit WAV.
    [[nodiscard]] ELooperActionResult export_song(int slot, QFile& file, bool& rewritten);
    // Converts `m_wave` to the pedal's format and writes it into the slot.
    [[nodiscard]] ELooperActionResult import_song(int slot);

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
