#include "library/song_name.h"

#include <gtest/gtest.h>

namespace {

struct SNameCase {
    QString given;
    // What each function makes of it; "-" for a name valid_song_name refuses.
    QString valid;
    QString from_outside;
    QString file_safe;
};

const QString kLong = QString(kSongNameMax, QLatin1Char('x'));
// A character outside the basic plane is two UTF-16 units: it counts as one, and a cut never
// falls between them.
const QString kClef = QString::fromUtf8("\xF0\x9D\x84\x9E");

}  // namespace

TEST(SongName, OneRuleForTypedTaggedAndFileNames)
{
    const SNameCase cases[] = {
        {"  Intro jam ", "Intro jam", "Intro jam", "  Intro jam"},
        {"", "", "", ""},
        {kLong, kLong, kLong, kLong},
        {kLong + "y", "-", kLong, kLong + "y"},
        {"Tab\there", "-", "Tab here", "Tab_here"},
        {"Line\r\nbreak", "-", "Line break", "Line__break"},
        {"AC/DC: Back?", "AC/DC: Back?", "AC/DC: Back?", "AC_DC_ Back_"},
        {"Fade out...", "Fade out...", "Fade out...", "Fade out"},
        {QString(kSongNameMax - 1, 'x') + kClef, QString(kSongNameMax - 1, 'x') + kClef,
         QString(kSongNameMax - 1, 'x') + kClef, QString(kSongNameMax - 1, 'x') + kClef},
        {QString(kSongNameMax - 1, 'x') + kClef + "z", "-", QString(kSongNameMax - 1, 'x') + kClef,
         QString(kSongNameMax - 1, 'x') + kClef + "z"},
    };
    for (const SNameCase& c : cases) {
        SCOPED_TRACE(c.given.toStdString());
        const std::optional<QString> valid = valid_song_name(c.given);
        EXPECT_EQ(valid ? valid->toStdString() : std::string("-"), c.valid.toStdString());
        EXPECT_EQ(song_name_from(c.given).toStdString(), c.from_outside.toStdString());
        EXPECT_EQ(file_safe_name(c.given).toStdString(), c.file_safe.toStdString());
    }
}
