#pragma once

#include "library/library_song.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <vector>

class CLibraryConnection;

// The song library: what Tandora knows of the songs it put into pedals' slots, kept on
// the computer in one SQLite file that the window and the command-line tool may use at
// the same time. A library that cannot be used never stops work with the pedal: calls
// then find nothing and write nothing, and the user is told once (take_notes). A library
// another program keeps busy is waited for at most 2 seconds per call; once a call gave up,
// the calls after it do not wait until the notes are taken or a call gets through, so that
// one operation is held up 2 seconds at most.
class CSongLibrary {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Pause = std::function<void(std::chrono::milliseconds)>;
    static constexpr std::chrono::milliseconds kBusyWait{2000};
    // "library.sqlite" in the user's data folder.
    static QString default_path();

    explicit CSongLibrary(QString path = default_path());
    const QString& path() const { return m_path; }

    // Every song recorded for the model `product_id`.
    [[nodiscard]] std::vector<SLibrarySong> songs_of(uint32_t product_id);
    [[nodiscard]] std::optional<SLibrarySong> find(uint32_t product_id, unsigned int slot,
                                                   const QString& fingerprint);
    // Records `song`, replacing a row of the same slot and fingerprint and the row of the
    // song it replaced on the pedal (`replaced_fingerprint`, empty for none).
    bool record(const SLibrarySong& song, const QString& replaced_fingerprint);
    // Sets the name of the song in the slot with `fingerprint`, recording the song when the
    // library did not know it. The name must be valid (valid_song_name).
    bool rename(uint32_t product_id, unsigned int slot, const QString& fingerprint, const QString& name);
    // Drops what the library knows of the song in the slot with `fingerprint`.
    bool forget(uint32_t product_id, unsigned int slot, const QString& fingerprint);

    // The SHA-256 recorded for the file at the absolute `path` while it had `size` bytes and
    // was modified at `modified_ms` (ms since the epoch, UTC); empty when none is.
    [[nodiscard]] QString cached_sha256(const QString& path, qint64 size, qint64 modified_ms);
    bool cache_sha256(const QString& path, qint64 size, qint64 modified_ms, const QString& sha256);

    // What the user must be told of the library since the last call: a damaged file set
    // aside, a library that cannot be used or written.
    [[nodiscard]] QStringList take_notes();

    // Opens the file and brings its schema up to date, once per library object; a damaged
    // file is moved aside and a fresh one started. False when there is no usable library.
    // Every call does this first; the session calls it as it reads a pedal's slots, so that
    // what it meets is told with the connection.
    bool usable();

    // The clock a busy library is waited on, and its pause between tries: the steady clock
    // and a sleep unless a test puts in a clock whose pauses take no time.
    void set_wait(Clock now, Pause pause);

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    enum class EOpen { READY, BUSY, DAMAGED };
    bool ready(TimePoint deadline);
    EOpen open_and_migrate();
    // open_and_migrate, tried again while another program keeps the file busy.
    EOpen open_waiting(TimePoint deadline);
    // The end of a call's wait for a busy library, from now.
    TimePoint call_deadline() const { return m_now() + kBusyWait; }
    // Pauses before another try, unless the call's wait is over or an earlier call gave up.
    bool pause_for_busy(TimePoint deadline);
    void note_busy();
    // A failure of a call that wrote or read: a note unless another program held the file.
    void note_failure(const CLibraryConnection& connection, const char* doing);
    void note(const QString& text);
    bool write(const std::function<bool(CLibraryConnection&)>& change, const char* doing);
    // The rows meeting the SQL `condition`, its placeholders bound to `values` in order.
    std::vector<SLibrarySong> songs_where(const QString& condition, std::initializer_list<QVariant> values);

    QString m_path;
    Clock m_now;
    Pause m_pause;
    bool m_gave_up = false;
    std::mutex m_mutex;
    enum class EState { UNCHECKED, READY, UNUSABLE } m_state = EState::UNCHECKED;
    QStringList m_notes;
};
