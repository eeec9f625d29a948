#include "app/tandora_qt.h"

#include "core/backup_reader.h"
#include "core/pedal_backup.h"
#include "core/pedal_restore.h"
#include "core/restore_plan.h"
#include "support/user_prompt.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kBackupDir = QStringLiteral("/Config/BackupDir");
const QString kVerifyImport = QStringLiteral("/Config/VerifyImport");

}  // namespace

void TandoraQT::init_verify_import()
{
    ui.m_chkVerifyImport->setChecked(read_config(kVerifyImport) == QLatin1String("true"));
    connect(ui.m_chkVerifyImport, &QCheckBox::toggled, this, [](bool on) {
        write_config(kVerifyImport, on ? QStringLiteral("true") : QStringLiteral("false"));
    });
}

bool TandoraQT::can_run_whole_pedal_work() const
{
    return m_workState == WORK_IDLE && is_ready_for_songs() && m_session.song_format();
}

QString TandoraQT::ask_backup_folder(const QString& caption)
{
    if (!can_run_whole_pedal_work())
        return {};
    const QString folder = user_prompt().get_existing_directory(this, caption, read_config(kBackupDir));
    // Meanwhile a timer tick may have dropped the pedal.
    return can_run_whole_pedal_work() ? folder : QString();
}

void TandoraQT::OnBackupSongs()
{
    const QString parent = ask_backup_folder(QStringLiteral("Choose the folder to put the backup in"));
    if (parent.isEmpty())
        return;
    write_config(kBackupDir, parent);
    const QString model = QString::fromLatin1(m_session.link().model_info()->model_name);
    // A second backup within the same minute gets a number rather than a refusal.
    const QString name = backup_folder_name(model, QDateTime::currentDateTime());
    QString folder = QDir(parent).filePath(name);
    for (int copy = 2; QFileInfo::exists(folder); ++copy)
        folder = QDir(parent).filePath(QStringLiteral("%1 (%2)").arg(name).arg(copy));
    start_work(
        WORK_BACKUP_SONGS, [this, folder](CTask& task) { return backup_pedal(m_session, folder, {}, &task); },
        [this](const COperationResult& result) { report(result); });
}

void TandoraQT::OnRestoreSongs()
{
    const QString folder = ask_backup_folder(QStringLiteral("Choose the backup to restore"));
    if (folder.isEmpty())
        return;
    // Hashing a full pedal's songs takes a while: the check runs on the worker too, and its
    // one question reaches the user through the prompt handover.
    start_work(
        WORK_RESTORE_SONGS,
        [this, folder](CTask& task) {
            QString why;
            const std::optional<SBackupManifest> manifest = read_backup(folder, why);
            std::optional<SRestorePlan> plan;
            if (manifest)
                plan = plan_restore(m_session, folder, *manifest, {}, why);
            if (!plan)
                return COperationResult::backup(false, why);
            if (plan->steps.empty())
                return COperationResult::backup(
                    true,
                    QStringLiteral("Nothing to restore: neither the backup nor the pedal holds a song."));
            if (!user_prompt().ask_yes_no(QStringLiteral("Restore"), plan->question(m_session)))
                return COperationResult::refused_shown();
            const COperationResult result = restore_pedal(m_session, *plan, &task);
            static_cast<void>(m_session.load_songs());
            return result;
        },
        [this](const COperationResult& result) {
            report(result);
            reload_after_command(m_nCurSong);
        });
}
