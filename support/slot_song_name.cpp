#include "support/slot_song_name.h"

QString slot_song_name(unsigned int slot)
{
    return QString::asprintf("Song %.3u", slot + 1);
}
