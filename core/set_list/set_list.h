#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// One song of a set list and the slot (0-based) it goes to.
struct SSetListSong {
    unsigned int slot = 0;
    QString path;   // absolute
    QString title;  // the list's title for it (#EXTINF) as a song name; empty when it gives none
};

// Reads the set list at `path`: a folder, whose audio files are taken in name order; or a
// text file of one path per line, relative paths taken from its folder, as M3U and M3U8
// play lists are (UTF-8, "#EXTINF:seconds,title" before a path names it, other "#" lines
// are comments). Song i goes to slot i; a "#SLOT N" line sends the next song to slot N
// (1-based) and those after it on from there. `first_slot` (1-based) shifts the whole
// list. A title passes the song name rules (song_name_from). The songs in list order, or
// nothing with `why` set: an empty list, a slot given twice, a #SLOT that is not a slot
// number, a list file that is not a regular file or is larger than 4 MiB.
// The same for the text of a list file in `folder`.
std::optional<std::vector<SSetListSong>> parse_set_list(const QByteArray& text, const QString& folder,
                                                        unsigned int first_slot, QString& why);
std::optional<std::vector<SSetListSong>> read_set_list(const QString& path, unsigned int first_slot,
                                                       QString& why);
