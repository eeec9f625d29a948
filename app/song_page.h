#pragma once

#include "core/operation_result.h"
#include "core/song_commands/song_operations.h"
#include "work_runner.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class CPedalSession;
class CSongPlay;
class QDropEvent;
class QKeyEvent;

class QWidget;
class Ui_TandoraQTClass;

// `names` of files for one folder, a second equal name (case ignored) given " (2)" before
// its extension, a third " (3)", and so on.
QStringList export_file_names(const QStringList& names);

// The Song Edit page: one line per slot of the pedal, the free space under it, the mono
// and verify settings, and the commands on the selected slot (Export, Import, Delete, and
// moves: a line dragged onto another, Alt+Up, Alt+Down) and on the whole pedal (Backup,
// Restore). The commands run on the work runner; what they do lives in core/.
// The settings key of the folder Export last wrote into, one song or several.
inline QString wav_save_dir_key()
{
    return QStringLiteral("/Config/WavSaveDir");
}

class CSongPage : public QObject {
    Q_OBJECT

public:
    CSongPage(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner, QWidget* window);

    // Rebuilds the list from the session and selects `row` (-1: none).
    void show_slots(int row);
    // No pedal: an empty list and no free line.
    void clear();
    // Enables what the pedal and the runner's state allow.
    void update_buttons();
    // The selected slot, 0-based; -1 when none.
    int current_slot() const { return m_current; }
    // The settings under the list: what a mono pedal takes from a file of more channels,
    // and the loudness.
    SImportSettings import_settings() const;

    void on_row_changed(int row);
    // Several songs selected: each into a chosen folder under its name; one: as asked.
    void on_export();
    void on_import();
    // Several songs selected: all of them, after one question naming them.
    void on_delete();
    // Names the song in `slot`, from the list's line editor (F2 or a double-click).
    void on_rename(int slot, const QString& name);
    // Asks for a parent folder and backs the pedal up into a new, dated folder there.
    void on_backup();
    // Asks for a backup folder; the worker checks it whole, asks once which slots change,
    // and restores it.
    void on_restore();
    // Asks for a set list (a play list or a list of files); the worker plans it, asks once
    // with the plan, and writes it.
    void on_sync();
    // Plays the selected slot from the pedal; Stop ends it.
    void on_play();
    void on_stop();
    CSongPlay& play() { return *m_play; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The slots of the selected lines that hold songs, in slot order.
    std::vector<int> selected_songs() const;
    void export_several(const std::vector<int>& chosen);
    void delete_several(const std::vector<int>& chosen);
    void init_mono_mode();
    void init_loudness();
    void init_verify_import();
    void update_edit_buttons();
    void show_free_space();
    bool keeps_songs() const;
    bool slot_holds_song(int slot) const;
    // A command that asked the user goes on only if, meanwhile, no timer tick dropped or
    // replaced the pedal and the same slot is still selected.
    bool is_still_selected(int slot) const;
    // Imports `paths` into the slots from `first_slot` on; files in `past_end` found no slot
    // and are named in the report.
    void start_import(int first_slot, const QStringList& paths, const QStringList& past_end);
    // Audio files dropped on the list go into the slots from the one dropped on; a song's
    // line dragged onto another line moves the song there.
    void accept_song_drag(QDropEvent* event) const;
    void drop_songs(QDropEvent* event);
    // Alt+Up and Alt+Down move the current line's song one slot; false for any other key.
    bool move_by_key(const QKeyEvent* key);
    // Moves the song of `from` into `to`, and the current line with it. `ask`: onto a song,
    // the user is asked before the two swap; otherwise they swap unasked.
    void start_move(int from, int to, bool ask);
    // The folder the user picks for a backup or a restore; empty when cancelled or when the
    // page can no longer run the command.
    QString ask_backup_folder(const QString& caption);

    Ui_TandoraQTClass& m_ui;
    // The list, whose keys move songs, and its viewport, whose drops are songs; known by
    // address alone, since they may be destroyed before the page.
    const QObject* m_list;
    const QObject* m_list_viewport;
    CPedalSession& m_session;
    CWorkRunner& m_runner;
    QWidget* m_window;
    int m_current = -1;
    QIcon m_icon_song;
    QIcon m_icon_empty;
    CSongPlay* m_play;
};
