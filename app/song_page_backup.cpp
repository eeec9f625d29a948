#include "app/song_page.h"

#include "app/app_config.h"
#include "app/message_box.h"
#include "app/user_prompt.h"
#include "core/backup/pedal_backup.h"
#include "core/backup/pedal_restore.h"
#include "core/backup/previous_backup.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/set_list/set_list_sync.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kBackupDir = QStringLiteral("/Config/BackupDir");
const QString kSetListDir = QStringLiteral("/Config/SetListDir");
// A folder is synced from the command line: one dialog cannot offer files and folders.
const QString kSetListFilter = QStringLiteral("Set lists (*.m3u *.m3u8 *.txt)");

}  // namespace

QString CSongPage::ask_backup_folder(const QString& caption)
{
    if (!m_runner.idle() || !keeps_songs())
        return {};
    const QString folder = user_prompt().get_existing_directory(m_window, caption, read_config(kBackupDir));
    // Meanwhile a timer tick may have dropped the pedal.
    return m_runner.idle() && keeps_songs() ? folder : QString();
}

void CSongPage::on_backup()
{
    const QString parent = ask_backup_folder(QStringLiteral("Choose the folder to put the backup in"));
    if (parent.isEmpty())
        return;
    write_config(kBackupDir, parent);
    // A second backup within the same minute gets a number rather than a refusal.
    const QString name = backup_folder_name(pedal_identity(m_session).model, QDateTime::currentDateTime());
    QString folder = QDir(parent).filePath(name);
    for (int copy = 2; QFileInfo::exists(folder); ++copy)
        folder = QDir(parent).filePath(QStringLiteral("%1 (%2)").arg(name).arg(copy));
    m_runner.start(
        WORK_BACKUP_SONGS,
        [this, parent, folder](CTask& task) {
            // An earlier backup of this model in the same folder spares reading what has not changed.
            SBackupOptions options;
            options.since = latest_backup_in(parent, m_session.product_id());
            return backup_pedal(m_session, folder, options, &task);
        },
        [](const COperationResult& result) { show_result(result); });
}

void CSongPage::on_restore()
{
    const QString folder = ask_backup_folder(QStringLiteral("Choose the backup to restore"));
    if (folder.isEmpty())
        return;
    // Hashing a full pedal's songs takes a while: the check runs on the worker too, and its
    // one question reaches the user through the runner.
    CQuestions& questions = m_runner.questions();
    const int row = m_current;
    // The list shows the new state before the box that tells the result.
    m_runner.start(
        WORK_RESTORE_SONGS,
        [this, folder, &questions](CTask& task) {
            return restore_backup(m_session, folder, {}, questions, &task);
        },
        [this, row](const COperationResult& result) {
            show_slots(row);
            show_result(result);
        });
}

void CSongPage::on_sync()
{
    if (!m_runner.idle() || !keeps_songs())
        return;
    const QString set_list = user_prompt().get_open_file_name(m_window, QStringLiteral("Choose the set list"),
                                                              read_config(kSetListDir), kSetListFilter);
    if (set_list.isEmpty() || !m_runner.idle() || !keeps_songs())
        return;
    write_config(kSetListDir, QFileInfo(set_list).absolutePath());
    SSyncOptions options;
    options.settings = import_settings();
    options.settings_origin = ESettingsOrigin::WINDOW;
    CQuestions& questions = m_runner.questions();
    const int row = m_current;
    m_runner.start(
        WORK_SYNC_SONGS,
        [this, set_list, options, &questions](CTask& task) {
            return sync_set_list(m_session, set_list, options, questions, &task);
        },
        [this, row](const COperationResult& result) {
            show_slots(row);
            show_result(result);
        });
}
