#include "core/song_commands/song_operations.h"

#include "audio/song_export.h"
#include "audio/song_file_reader.h"
#include "audio/song_import.h"
#include "audio/song_import_text.h"
#include "audio/song_stream.h"
#include "audio/song_time_text.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/questions.h"
#include "core/song_commands/import_pages.h"
#include "core/song_commands/song_records.h"
#include "core/song_commands/song_settings.h"
#include "library/cached_file_hash.h"
#include "songs/looper_song_data.h"
#include "support/sha256.h"
#include "support/task.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <optional>

namespace {

// A file converts in seconds and goes to the pedal in minutes; a song comes from the
// pedal in minutes and converts in seconds.
constexpr int kConvertPercent = 5;
constexpr int kReadPercent = 95;

void set_percent_range(CTask* task, int from, int to)
{
    if (task)
        task->set_percent_range(from, to);
}

// `bytes` more are to cross the link before the task ends.
void expect_bytes(CTask* task, uint64_t bytes)
{
    if (task)
        task->set_bytes_total(task->progress().bytes_done + bytes);
}

// The store takes whole blocks, so that is the space a song needs.
uint64_t space_needed(const SNandFlashConfig& format, uint64_t song_bytes)
{
    const uint64_t per_block = uint64_t{format.pages_per_block} * format.page_data_size;
    return per_block ? (song_bytes + per_block - 1) / per_block * per_block : song_bytes;
}

COperationResult refused_import(const SSongImport& import, const QString& path, const SSongTarget& target)
{
    switch (import.result) {
        case ESongImportResult::CANCELLED:
            return COperationResult::cancelled();
        case ESongImportResult::TOO_LONG:
            return COperationResult::song(LOOPER_RESULT_FILE_TOO_LARGE)
                .with_detail(too_long_text(target.max_bytes, target.channels, import.file_seconds));
        default:
            return COperationResult::audio_failed(song_import_message(import, path, target));
    }
}

// The user may name a device or a pipe: those are written in place, plain files through
// a save file that replaces the target only when complete. A file that did not open says
// why in its errorString().
std::unique_ptr<QFileDevice> open_export_target(const QString& path)
{
    const QFileInfo target(path);
    std::unique_ptr<QFileDevice> file;
    if (target.exists() && !target.isFile())
        file = std::make_unique<QFile>(path);
    else
        file = std::make_unique<QSaveFile>(path);
    static_cast<void>(file->open(QIODevice::WriteOnly));
    return file;
}

const QString kOverwriteTitle = QStringLiteral("Overwrite warning");

QStringList replaced_lines(const CPedalSession& session, int first_slot, int count)
{
    QStringList lines;
    for (int slot = first_slot; slot < first_slot + count; ++slot)
        if (session.slot_holds_song(slot))
            lines << session.songs().get_name(static_cast<unsigned int>(slot));
    return lines;
}

// The overwrite question asked once the file at `path` for `slot` has passed its check,
// which found `import`, naming the songs the `count` slots from `slot` hold: a lone one
// with its name and length, and a file cut short before anything is written, among
// `several` files by its name.
QString overwrite_text(const CPedalSession& session, int slot, int count, const QString& path, bool several,
                       const SSongImport& import)
{
    const QStringList songs = replaced_lines(session, slot, count);
    QStringList text{overwrite_question(songs)};
    if (songs.size() == 1)
        text << song_name_line(session, static_cast<unsigned int>(slot));
    if (const QString cut = cut_file_note(import); !cut.isEmpty())
        text << (several ? QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), cut) : cut);
    text.removeAll(QString());
    return text.join(QLatin1Char('\n'));
}

bool finish_export(QFileDevice& file, bool complete)
{
    auto* save = qobject_cast<QSaveFile*>(&file);
    if (!save)
        return complete && file.flush();
    if (complete)
        return save->commit();
    save->cancelWriting();
    return false;
}

// The WAV header's sizes are filled in last: a device that cannot seek (a pipe) gets the
// file from memory once it is whole.
ESongExportResult write_export(const std::vector<unsigned char>& song, const SSongAudioFormat& format,
                               QFileDevice& file, CTask* task)
{
    if (!file.isSequential())
        return export_song(song.data(), song.size(), format, file, task);
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    const ESongExportResult result = export_song(song.data(), song.size(), format, whole, task);
    if (result == ESongExportResult::OK && file.write(whole.data()) != whole.size())
        return ESongExportResult::WRITE_ERROR;
    return result;
}

}  // namespace

namespace {

// Whether the song in `slot` may be replaced; asked once the file for it has passed its
// check, which found `import`.
using ReplaceCheck = std::function<bool(int slot, const SSongImport& import)>;
// The first reading of an import's file, which finds `import` without keeping the song: a
// check of it afresh, or what an earlier check learned.
using FirstReading = std::function<COperationResult(SSongImport& import)>;

bool replace_unasked(int, const SSongImport&)
{
    return true;
}

SSongTarget import_target(CPedalSession& session, const SImportSettings& settings)
{
    const SNandFlashConfig* format = session.song_format();
    return {format->channels, session.slot_song_bytes(), settings.mono_mode, settings.loudness};
}

// The audio library's `reading` of a file for the session's pedal, as `settings` say; its
// refusal as a result.
COperationResult read_for_pedal(CPedalSession& session, const QString& path, const SImportSettings& settings,
                                CTask* task, SSongImport& import,
                                const std::function<SSongImport(const SSongTarget& target)>& reading)
{
    if (!session.song_format())
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    const SSongTarget target = import_target(session, settings);
    import = reading(target);
    if (import.result != ESongImportResult::OK)
        return refused_import(import, path, target);
    if (task_cancelled(task))
        return COperationResult::cancelled();
    return COperationResult::song(LOOPER_RESULT_OK);
}

// The song as the pedal will hold it, for the overwrite question's Play: the file converted
// a second time, into the stream alone.
std::shared_ptr<const CSongStream> song_to_play(CPedalSession& session, const QString& path,
                                                const SImportSettings& settings, const SSongImport& import)
{
    const std::unique_ptr<CSongFileReader> reader =
        CSongFileReader::open(path, import_target(session, settings), import);
    const std::shared_ptr<CSongStream> stream =
        reader ? CSongStream::make(song_audio_format(*session.song_format()), size_t(reader->length()))
               : nullptr;
    if (!stream || !reader->next(stream->bytes(), stream->length()))
        return nullptr;
    stream->arrived(stream->length());
    stream->end(true);
    return stream;
}

COperationResult import_checked(CPedalSession& session, const QString& path, int slot,
                                const SImportSettings& settings, CTask* task, bool verify,
                                const ReplaceCheck& may_replace, const FirstReading& first_reading)
{
    if (slot < 0)
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    set_percent_range(task, 0, kConvertPercent);
    SSongImport import;
    // The first reading: checked, measured and hashed, the song not kept.
    const COperationResult checked = first_reading(import);
    set_percent_range(task, kConvertPercent, 100);
    if (!checked.ok())
        return checked;
    const SNandFlashConfig* format = session.song_format();
    if (session.slot_holds_song(slot) && !may_replace(slot, import))
        return COperationResult::declined();
    // The song goes to the pedal as it converts a second time.
    const std::unique_ptr<CImportPages> pages =
        CImportPages::open(path, import_target(session, settings), import, *format, verify);
    if (!pages)
        return COperationResult::audio_failed(
            QStringLiteral("Tandora could not read %1.").arg(QFileInfo(path).fileName()));
    // The song is what crosses the link, once more when it is read back; earlier files of
    // the same task have moved theirs already.
    expect_bytes(task, uint64_t{pages->length()} * (verify ? 2 : 1));
    const uint64_t free_bytes = session.free_song_bytes();
    // Reading back takes as long as writing: each gets half of what is left of the bar.
    if (verify)
        set_percent_range(task, kConvertPercent, (100 + kConvertPercent) / 2);
    const QString replaced = session.slot_fingerprint(slot);
    const ELooperActionResult written =
        session.songs().write_file(static_cast<unsigned int>(slot), *pages, task);
    // The store reads the slot again, so the list and the free space show the pedal as it
    // is, unless the write left the records as the store knows them: refused for room, or
    // cancelled or refused before its record. The library records the song as the pedal's
    // record gives it, whole units.
    const bool records_kept = written == LOOPER_RESULT_NO_SPACE || written == LOOPER_RESULT_FILE_TOO_LARGE ||
                              written == LOOPER_RESULT_CANCELLED || written == LOOPER_RESULT_FILE_TOO_SHORT;
    const bool reloaded = !records_kept && session.reload_slot(slot) == LOOPER_RESULT_OK;
    if (written == LOOPER_RESULT_OK && reloaded) {
        if (const std::optional<SLoudness> measured = pages->loudness()) {
            import.loudness = *measured;
            import.loudness_measured = true;
        }
        record_import(session, slot, replaced, path, settings.mono_mode, import, pages->overview());
    }
    if (written == LOOPER_RESULT_NO_SPACE)
        return COperationResult::song(written).with_detail(
            no_space_text(free_bytes, space_needed(*format, pages->length()), format->channels));
    COperationResult result = COperationResult::from_write(written, session.songs().journal_problem());
    if (verify && written == LOOPER_RESULT_OK) {
        set_percent_range(task, (100 + kConvertPercent) / 2, 100);
        result = verify_slot(session, static_cast<unsigned int>(slot), pages->digest(), task);
    }
    // A song that went in with a flaw of its file says so under the result.
    const QStringList notes = song_import_notes(import);
    return result.ok() && !notes.isEmpty() ? result.with_detail(notes.join('\n')) : result;
}

}  // namespace

COperationResult convert_for_pedal(CPedalSession& session, const QString& path,
                                   const SImportSettings& settings, CTask* task, SSongImport& import)
{
    // The audio library's conversion of the file, an overload of its own.
    return read_for_pedal(session, path, settings, task, import,
                          [&](const SSongTarget& target) { return import_song(path, target, task); });
}

namespace {

// The first reading of an import: the file checked, measured and hashed, the song not kept.
COperationResult check_file_for_pedal(CPedalSession& session, const QString& path,
                                      const SImportSettings& settings, CTask* task, SSongImport& import)
{
    return read_for_pedal(session, path, settings, task, import,
                          [&](const SSongTarget& target) { return check_song_file(path, target, task); });
}

}  // namespace

COperationResult check_for_pedal(CPedalSession& session, const QString& path, const SImportSettings& settings,
                                 CTask* task, SCheckedFile& file)
{
    const COperationResult checked =
        read_for_pedal(session, path, settings, task, file.check,
                       [&](const SSongTarget& target) { return check_song(path, target, task); });
    file.path = path;
    file.source_sha256 = checked.ok() ? cached_file_sha256(session.library(), path) : QString();
    file.check.source_sha256 = file.source_sha256;
    return checked;
}

COperationResult import_checked_file(CPedalSession& session, const SCheckedFile& file, int slot,
                                     const SImportSettings& settings, CTask* task)
{
    // A file changed since its check would be written with figures that are not its own.
    if (cached_file_sha256(session.library(), file.path) != file.source_sha256)
        return import_song_unasked(session, file.path, slot, settings, task);
    // The check stands for the first reading: the write is the file's one more.
    return import_checked(session, file.path, slot, settings, task, false, replace_unasked,
                          [&](SSongImport& import) {
                              import = file.check;
                              return COperationResult::song(LOOPER_RESULT_OK);
                          });
}

COperationResult import_song(CPedalSession& session, const QString& path, int slot,
                             const SImportSettings& settings, CTask* task, bool verify, CQuestions& questions)
{
    return import_checked(
        session, path, slot, settings, task, verify,
        [&](int replaced, const SSongImport& import) {
            // The user may hear the file as the pedal will hold it before answering.
            const QString text = overwrite_text(session, replaced, 1, path, false, import);
            return questions.ask_yes_no_playing(
                kOverwriteTitle, text, [&] { return song_to_play(session, path, settings, import); });
        },
        [&](SSongImport& import) { return check_file_for_pedal(session, path, settings, task, import); });
}

COperationResult import_song_unasked(CPedalSession& session, const QString& path, int slot,
                                     const SImportSettings& settings, CTask* task, bool verify)
{
    return import_checked(
        session, path, slot, settings, task, verify, replace_unasked,
        [&](SSongImport& import) { return check_file_for_pedal(session, path, settings, task, import); });
}

COperationResult verify_slot(CPedalSession& session, unsigned int slot, const unsigned char* song,
                             unsigned int length, CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    return verify_slot(session, slot, song_digest(song, length, format->unit_size), task);
}

COperationResult verify_slot(CPedalSession& session, unsigned int slot, const SSongDigest& written,
                             CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    if (task_cancelled(task))
        return COperationResult::cancelled();
    // Whatever the reload finds wrong elsewhere (another slot's torn record), this slot's
    // record and song are judged by the comparison below.
    static_cast<void>(session.songs().reload_slot(slot));
    const uint64_t stored = session.songs().get_file_length(slot);
    const unsigned int length = written.length;
    if (stored + format->unit_size <= length || stored >= uint64_t{length} + format->unit_size)
        return COperationResult::verify_failed(slot);
    std::unique_ptr<unsigned char[]> back(new (std::nothrow) unsigned char[stored]);
    if (!back)
        return COperationResult::audio_failed();
    const ELooperActionResult read =
        session.songs().read_file(slot, back.get(), static_cast<unsigned int>(stored), task);
    if (read != LOOPER_RESULT_OK)
        return COperationResult::from_store(read);
    // A record of whole units gives back the song's whole units; one that rounds up, the
    // song and the zero fill of its last unit.
    const bool whole = stored >= length;
    CSha256 hash;
    hash.add(back.get(), whole ? length : written.unit_length);
    const bool same = stored == (whole ? stored : written.unit_length) &&
                      hash.hex_result() == (whole ? written.sha256 : written.unit_sha256) &&
                      std::all_of(back.get() + std::min<uint64_t>(stored, length), back.get() + stored,
                                  [](unsigned char b) { return b == 0; });
    return same ? COperationResult::song(LOOPER_RESULT_OK) : COperationResult::verify_failed(slot);
}

bool save_song_as_wav(const SNandFlashConfig& format, const std::vector<unsigned char>& song,
                      QFileDevice& file)
{
    return write_export(song, song_audio_format(format), file, nullptr) == ESongExportResult::OK;
}

std::vector<COperationResult> import_songs(CPedalSession& session, const QStringList& paths, int first_slot,
                                           const SImportSettings& settings, CTask* task, bool verify,
                                           CQuestions& questions)
{
    std::vector<COperationResult> results;
    const auto count = static_cast<unsigned>(paths.size());
    // One question, when the first file that replaces a song has passed its check: it names
    // that song and those the files after it replace.
    std::optional<bool> replace;
    const ReplaceCheck may_replace = [&](int slot, const SSongImport& import) {
        const QString& path = paths[slot - first_slot];
        if (!replace) {
            replace = questions.ask_yes_no(
                kOverwriteTitle,
                overwrite_text(session, slot, first_slot + int(count) - slot, path, count > 1, import));
            return *replace;
        }
        // The question came before this file was read: a file cut short is told before
        // its song goes.
        if (!cut_file_note(import).isEmpty())
            return questions.ask_yes_no(kOverwriteTitle,
                                        overwrite_text(session, slot, 1, path, count > 1, import));
        return *replace;
    };
    for (unsigned i = 0; i < count; ++i) {
        if (task)
            task->set_part(i + 1, count);
        if (task_cancelled(task)) {
            results.push_back(COperationResult::cancelled());
            continue;
        }
        const int slot = first_slot + static_cast<int>(i);
        const QString& path = paths[int(i)];
        // The blocks of a song just replaced are free for the next file: the import has read
        // its slot again.
        results.push_back(import_checked(
            session, path, slot, settings, task, verify, may_replace,
            [&](SSongImport& import) { return convert_for_pedal(session, path, settings, task, import); }));
        if (results.back().kind() == COperationResult::EKind::DECLINED)
            break;
    }
    return results;
}

COperationResult export_song(CPedalSession& session, int slot, const QString& path, CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    if (slot < 0 || !session.slot_holds_song(slot))
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    std::unique_ptr<QFileDevice> file = open_export_target(path);
    if (!file->isOpen())
        return COperationResult::audio_failed(
                   QStringLiteral("Open file '%1' failed, it may be occupied by other process")
                       .arg(QFileInfo(path).fileName()))
            .with_detail(file->errorString());
    const unsigned int length = session.songs().get_file_length(static_cast<unsigned int>(slot));
    // The length comes from the pedal's record: a damaged one must not end the program.
    std::vector<unsigned char> song;
    try {
        song.resize(length);
    } catch (const std::bad_alloc&) {
        finish_export(*file, false);
        return COperationResult::audio_failed();
    }
    set_percent_range(task, 0, kReadPercent);
    expect_bytes(task, length);
    const ELooperActionResult read =
        session.songs().read_file(static_cast<unsigned int>(slot), song.data(), length, task);
    if (read != LOOPER_RESULT_OK) {
        finish_export(*file, false);
        return COperationResult::from_store(read);
    }
    static_cast<void>(record_read(session, slot, song.data(), song.size()));
    set_percent_range(task, kReadPercent, 100);
    const ESongExportResult written = write_export(song, song_audio_format(*format), *file, task);
    if (written == ESongExportResult::CANCELLED || task_cancelled(task)) {
        finish_export(*file, false);
        return COperationResult::cancelled();
    }
    if (written != ESongExportResult::OK && written != ESongExportResult::WRITE_ERROR) {
        finish_export(*file, false);
        return COperationResult::audio_failed();
    }
    // A save file given up replaces the reason of the failed write with its own.
    const QString write_reason = file->errorString();
    if (!finish_export(*file, written == ESongExportResult::OK))
        return COperationResult::audio_failed().with_detail(
            QStringLiteral("%1 could not be written.\n%2")
                .arg(QFileInfo(path).fileName(),
                     written == ESongExportResult::OK ? file->errorString() : write_reason));
    return COperationResult::song(LOOPER_RESULT_OK);
}

COperationResult delete_song(CPedalSession& session, int slot, CQuestions& questions)
{
    if (slot < 0)
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    const auto unsigned_slot = static_cast<unsigned int>(slot);
    if (session.slot_holds_song(slot) &&
        !questions.ask_yes_no(QStringLiteral("Delete"), QStringLiteral("Continue to delete song '%1' ?\n%2")
                                                            .arg(session.songs().get_name(unsigned_slot),
                                                                 song_name_line(session, unsigned_slot))))
        return COperationResult::declined();
    return empty_slot(session, slot);
}

COperationResult empty_slot(CPedalSession& session, int slot)
{
    const QString fingerprint = session.slot_fingerprint(slot);
    const ELooperActionResult deleted = session.songs().delete_file(static_cast<unsigned int>(slot));
    if (deleted != LOOPER_RESULT_OK)
        return COperationResult::song(deleted);
    forget_song(session, slot, fingerprint);
    // The blocks it freed count as free once the store has read the slot again.
    return COperationResult::song(session.reload_slot(slot));
}

QString overwrite_question(const QStringList& song_lines)
{
    if (song_lines.size() == 1)
        return QStringLiteral("'%1' already exist, continue to overwrite the song?").arg(song_lines.front());
    return QStringLiteral("These songs already exist, continue to overwrite them?\n%1")
        .arg(song_lines.join(QLatin1Char('\n')));
}
