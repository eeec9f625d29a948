#pragma once

#include "core/operation_result.h"
#include "songs/looper_action_result.h"

#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CAnsweredPedals;
class CLooperSongData;
class CSongJournalStorage;
class CSongLibrary;
class CUSBConnect;
struct SNandFlashConfig;

// The connected pedal as the program works with it: the link and the song store on it.
// One thread uses a session at a time: the front end's while no operation runs, the
// operation's worker while one does; notice_ports alone may come from any thread. Front
// ends use the session through core's operations and views (pedal_view.h), never through
// the link or the store.
class CPedalSession {
public:
    CPedalSession();
    ~CPedalSession();
    CPedalSession(const CPedalSession&) = delete;
    CPedalSession& operator=(const CPedalSession&) = delete;

    CUSBConnect& link() { return *m_link; }
    const CUSBConnect& link() const { return *m_link; }
    CLooperSongData& songs() { return *m_songs; }
    const CLooperSongData& songs() const { return *m_songs; }

    // Searches the MIDI ports for a pedal and opens it; true when the link is left open in
    // update mode. A pedal in application mode is told once (a note), not again at every
    // search, until it has been unplugged; a MIDI service that cannot be reached is a note
    // with the library's text.
    [[nodiscard]] bool search_and_open();
    // Opens the pedal on the port pair `ports` (output << 16 | input); true when it
    // answered in update mode. A pedal in application mode is let go again.
    [[nodiscard]] bool open_port(unsigned int ports);
    // Asks the open pedal whether it is still there.
    [[nodiscard]] bool check_connect();
    void close();

    bool is_open() const;
    // From any thread (the detection thread), with the MIDI output ports now present: when
    // the open pedal's ports are not among them, its link's reply waits end at once, so an
    // operation under way fails now instead of after its time-out.
    void notice_ports(const std::vector<std::string>& output_names);
    // In update mode, the only mode songs are read and written in.
    bool is_ready_for_songs() const;
    // The stored audio format of the connected model, or null when it keeps no songs.
    const SNandFlashConfig* song_format() const;
    bool slot_holds_song(int slot) const;
    // Song bytes the blocks no slot uses could still take; 0 without a song format.
    uint64_t free_song_bytes() const;
    // Song bytes one slot holds at most (its longest block chain); 0 without a song format.
    uint64_t slot_song_bytes() const;
    // Seconds of audio in `bytes` of the connected model's song format.
    double song_seconds(uint64_t bytes) const;

    // The pedal model's product ID; 0 while no pedal is open.
    uint32_t product_id() const;
    // The fingerprint of the song in `slot` (CLooperSongData::slot_fingerprint); empty for
    // an empty slot.
    QString slot_fingerprint(int slot) const;
    // What the computer knows of the songs it put into pedals: "library.sqlite" in the
    // user's data folder unless replaced here. Core's operations use it; front ends see it
    // through the views.
    CSongLibrary& library() const { return *m_library; }
    void set_library(std::unique_ptr<CSongLibrary> library);

    // Where the song store keeps its journal of info block erases: a file in the user's
    // data folder unless replaced here (tests keep theirs in memory).
    void set_journal_storage(std::unique_ptr<CSongJournalStorage> storage);

    // Reads every slot's record; the list then shows what was found.
    [[nodiscard]] ELooperActionResult load_songs();
    // Reads `slot`'s record again, after a command changed it.
    [[nodiscard]] ELooperActionResult reload_slot(int slot);

    // What the user must be told of what the session met since the last call, in the order
    // met: the search's notes, the pedal's bad replies, the slots the store found broken,
    // the library's troubles.
    [[nodiscard]] QStringList take_notes();
    // `result` with take_notes() before its own notes: every operation's result as the front
    // ends show it. A failure once the MIDI service stopped says so (after_midi_service_stopped).
    [[nodiscard]] COperationResult with_notes(const COperationResult& result);

private:
    void set_port_name(const std::string& name);

    std::unique_ptr<CUSBConnect> m_link;
    // Before the store, which uses it until its end.
    std::unique_ptr<CSongJournalStorage> m_journal;
    std::unique_ptr<CLooperSongData> m_songs;
    std::unique_ptr<CAnsweredPedals> m_answered;
    std::unique_ptr<CSongLibrary> m_library;
    QStringList m_search_notes;
    // The open pedal's port name, empty when the link was not opened by a search.
    mutable std::mutex m_port_mutex;
    std::string m_port_name;
};
