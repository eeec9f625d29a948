#pragma once

#include "audio/song_audio.h"
#include "core/operation_result.h"
#include "core/pedal_session.h"
#include "device/device_detect.h"
#include "ui_tandora_qt.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class CPromptHandover;
class CTask;
class CThreadWake;
class QDropEvent;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;

// The program's one window: the song page, the firmware page, the progress area, the
// connection timer and the work state. What the commands do lives in core/; the window
// asks its questions, runs the command on a worker thread, shows its progress and its
// result, and stays responsive meanwhile. `m_workState` says whether a command runs:
// commands start only when idle, the timer waits, and the window refuses to close.
class TandoraQT : public QMainWindow {
    Q_OBJECT

public:
    enum EWorkState : int32_t {
        WORK_UPLOAD_SONG = 0,      // a slot is read from the pedal into a WAV file (Export)
        WORK_DOWNLOAD_SONG = 1,    // a WAV file is written into a slot (Import)
        WORK_UPDATE_FIRMWARE = 2,  // a firmware package is written into the pedal
        WORK_IDLE = 3,
        WORK_DELETE_SONG = 4,    // a slot is emptied
        WORK_BACKUP_SONGS = 5,   // every slot is read into a backup folder
        WORK_RESTORE_SONGS = 6,  // a backup folder is written into the slots
    };

    // `demo`: the pedal is the emulated demo pedal, and the title says so.
    explicit TandoraQT(QWidget* parent = nullptr, bool demo = false);
    // Waits for a running command and stops the detection thread before anything they
    // could touch goes away.
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
    bool eventFilter(QObject* watched, QEvent* event) override;

protected slots:
    void OnOpenFirmwareFile();
    void OnUpdateFirmware();
    void OnDownloadFinished(QNetworkReply* reply);
    void OnSelectLocalFile(bool boSel);
    void OnUploadSong();
    void OnDownloadSong();
    void OnDeleteSong();
    // Asks for a parent folder and backs the pedal up into a new, dated folder there.
    void OnBackupSongs();
    // Asks for a backup folder; the worker checks it whole, asks once which slots change,
    // and restores it.
    void OnRestoreSongs();
    void currentRowChanged(int currentRow);

private:
    friend class CTandoraQTProbe;
    using Job = std::function<COperationResult(CTask&)>;
    using Finish = std::function<void(const COperationResult&)>;

    void fit_font_to_form();
    void init_ctrls();
    // The "Verify after import" box, remembered as "/Config/VerifyImport".
    void init_verify_import();
    void init_style_sheet();
    void init_progress_area();
    void init_thread();
    void init_online_update();
    // Asks whether to download the newer program `newest`, once the window is idle: a box
    // in the middle of a transfer would hold the pedal until the user answers.
    void offer_new_program(float newest);

    // Searches the MIDI ports for a pedal and opens it (boxes of the search included);
    // true when the link is left open in update mode, the only mode it is left open in.
    [[nodiscard]] bool auto_connect();
    void OnDeviceConnectStatusChanged(int connected);
    // The connection watch of one timer tick, once the detection thread saw a change or
    // while the pedal of a lost link is searched for.
    void check_device_change();
    bool is_link_open() const;

    void update_firmware_update_mode();
    void init_firmware_list();
    // Runs a firmware update on the worker: `job` installs into the link, forced or not.
    using FirmwareJob = std::function<COperationResult(CUSBConnect&, bool forced, CTask&)>;
    void start_firmware_update(const FirmwareJob& job);

    // Work: the state is entered, `job` runs on the worker thread with a task of its own,
    // and `finish` runs on the GUI thread with the result before the state is left. The
    // progress area shows the task's progress and offers Cancel while the job allows it.
    void start_work(EWorkState state, Job job, Finish finish);
    void on_work_woken();
    void finish_work();
    void show_progress();
    void wake_from_worker();
    void init_work_wake();
    // Work states: the progress area shows and the page the work does not belong to is
    // disabled until the work ends.
    void begin_work_state(EWorkState state);
    void end_work_state();
    // The result's message in a box, success included; nothing when a step already said why.
    void report(const COperationResult& result);
    void report(ELooperActionResult result);

    // The song list, one line per slot of the store, and the buttons that act on it.
    void load_data_from_device();
    void InitTreeFromMicData();
    // Rebuilds the list and selects `row` (-1: none).
    void update_tree_name(int row);
    void select_tree_item(int row);
    void update_button_status();
    void update_edit_status();
    bool is_ready_for_songs() const;
    bool slot_holds_song(int slot) const;
    QString song_line(int slot) const;
    // After a command on `slot`: the list shows what the store now holds.
    void reload_after_command(int slot);
    // "Free: 37:17 of mono audio (300.0 MB)" under the list; empty without a pedal.
    void show_free_space();

    // What a mono pedal takes from a file of more channels: the setting under the list,
    // remembered in the settings file.
    void init_mono_mode();
    EMonoMode mono_mode() const;
    // Imports `paths` into the slots from `first_slot` on, asked for already; files in
    // `past_end` found no slot and are named in the report.
    void start_import(int first_slot, const QStringList& paths, const QStringList& past_end);
    // Audio files dropped on the list go into the slots from the one dropped on.
    void accept_song_drag(QDropEvent* event) const;
    void drop_songs(QDropEvent* event);

    // Backup and restore: idle, connected, and a model that keeps songs.
    bool can_run_whole_pedal_work() const;
    // The folder the user picks for a backup or a restore; empty when cancelled or when the
    // window can no longer run the command.
    QString ask_backup_folder(const QString& caption);

    // A command that asked the user goes on only if, meanwhile, no timer tick dropped or
    // replaced the pedal and the same slot is still selected.
    bool is_still_selected(int slot) const;

    Ui_TandoraQTClass ui;
    const bool m_demo;
    // Boxes a command raises on the worker are shown here, on the GUI thread.
    std::unique_ptr<CPromptHandover> m_promptHandover;
    QPushButton* m_btnCancel = nullptr;
    CPedalSession m_session;
    QNetworkAccessManager* m_pNetManager = nullptr;
    std::vector<QString> m_lstFirmwareFile;
    EWorkState m_workState = WORK_IDLE;
    int m_nCurSong = -1;
    QIcon m_iconTone;
    QIcon m_iconToneNone;
    std::unique_ptr<CMidiDeviceDetector> m_pDetectThread;
    // Set by the detection thread when the MIDI ports change, consumed by the timer.
    std::atomic<bool> m_bDevChanged{false};
    int m_nTimerId = 0;
    // A timer tick's connection check is under way (it may be showing a box).
    bool m_bCheckingConnection = false;
    // After a lost link, the ticks that search for the pedal with no port change seen. Ten
    // seconds: time to re-plug a cable that slipped out, not a search every second for ever.
    static constexpr int kReconnectTicks = 10;
    int m_nReconnectTicks = 0;

    // The command under way. The worker writes its result under the mutex; the queued
    // event it posts only wakes the GUI thread, which reads the task and the result.
    std::unique_ptr<CTask> m_task;
    std::thread m_worker;
    std::mutex m_workMutex;
    std::optional<COperationResult> m_workResult;
    Finish m_finish;
    std::atomic<bool> m_wakePending{false};
    std::unique_ptr<CThreadWake> m_workWake;
    QElapsedTimer m_workClock;
};
