#pragma once

#include <QString>
#include <optional>

// A song's name is text of at most kSongNameMax characters with no control characters;
// empty means no name.
constexpr int kSongNameMax = 100;

// `text` trimmed, when it is a valid name; nothing otherwise.
std::optional<QString> valid_song_name(const QString& text);
// "A song name has at most 100 characters and no control characters."
QString song_name_rule_text();
// A name made from outside text (a tag, a file name, a play list): control characters
// become spaces, runs of white space one space, and it is cut to the longest length.
QString song_name_from(const QString& text);
// `name` as a file name: the characters a file system refuses (/ \ : * ? " < > |, control
// characters) become "_", and a name of dots alone or a trailing dot or space loses them.
QString file_safe_name(const QString& name);
