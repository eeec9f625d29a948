#include "app/app_config.h"
#include "app/message_box.h"
#include "app/song_page.h"
#include "app/user_prompt.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "support/task.h"
#include "ui_tandora_qt.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <algorithm>

QStringList export_file_names(const QStringList& names)
{
    QStringList unique;
    for (const QString& name : names) {
        const QFileInfo file(name);
        QString candidate = name;
        for (int copy = 2; unique.contains(candidate, Qt::CaseInsensitive); ++copy)
            candidate =
                QStringLiteral("%1 (%2).%3").arg(file.completeBaseName()).arg(copy).arg(file.suffix());
        unique << candidate;
    }
    return unique;
}

std::vector<int> CSongPage::selected_songs() const
{
    std::vector<int> chosen;
    for (const QListWidgetItem* line : m_ui.m_lstSong->selectedItems()) {
        const int slot = m_ui.m_lstSong->row(line);
        if (slot_holds_song(slot))
            chosen.push_back(slot);
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

void CSongPage::export_several(const std::vector<int>& chosen)
{
    const QString folder = user_prompt().get_existing_directory(m_window, QStringLiteral("Export songs to"),
                                                                read_config(wav_save_dir_key()));
    if (folder.isEmpty() || !m_runner.idle() || selected_songs() != chosen)
        return;
    QStringList names;
    for (int slot : chosen)
        names << export_file_name(m_session, slot);
    names = export_file_names(names);
    QStringList existing;
    for (const QString& name : names)
        if (QFileInfo::exists(QDir(folder).filePath(name)))
            existing << name;
    if (!existing.isEmpty() &&
        !user_prompt().ask_yes_no(QStringLiteral("Overwrite warning"),
                                  QStringLiteral("These files already exist, continue to overwrite them?\n%1")
                                      .arg(existing.join(QLatin1Char('\n')))))
        return;
    write_config(wav_save_dir_key(), QDir(folder).absolutePath() + QLatin1Char('/'));
    m_runner.start(
        WORK_UPLOAD_SONG,
        [this, chosen, names, folder](CTask& task) {
            COperationResult result = COperationResult::song(LOOPER_RESULT_OK);
            for (size_t i = 0; i < chosen.size() && result.ok(); ++i) {
                task.set_part(unsigned(i + 1), unsigned(chosen.size()));
                result = export_song(m_session, chosen[i], QDir(folder).filePath(names[int(i)]), &task);
            }
            return result;
        },
        [](const COperationResult& result) { show_result(result); });
}

void CSongPage::delete_several(const std::vector<int>& chosen)
{
    QStringList songs;
    for (int slot : chosen)
        songs << song_name_line(m_session, unsigned(slot));
    if (!user_prompt().ask_yes_no(
            QStringLiteral("Delete"),
            QStringLiteral("Continue to delete these songs?\n%1").arg(songs.join(QLatin1Char('\n')))))
        return;
    if (!m_runner.idle() || selected_songs() != chosen)
        return;
    m_runner.start(
        WORK_DELETE_SONG,
        [this, chosen](CTask& task) {
            COperationResult result = COperationResult::song(LOOPER_RESULT_OK);
            for (size_t i = 0; i < chosen.size() && result.ok(); ++i) {
                task.set_part(unsigned(i + 1), unsigned(chosen.size()));
                result = empty_slot(m_session, chosen[i]);
            }
            return result;
        },
        [this, first = chosen.front()](const COperationResult& result) {
            show_slots(first);
            if (!result.ok())
                show_result(result);
        });
}
