// Feeds set list files to their reader and checks what the sync relies on: every song has
// an absolute path and a slot of its own, at or past the first slot.
#include "core/set_list/set_list.h"

#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr unsigned int kFirstSlot = 3;
    QString why;
    const auto songs = parse_set_list(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)),
                                      QStringLiteral("/lists"), kFirstSlot, why);
    if (!songs && why.isEmpty())
        std::abort();
    if (!songs)
        return 0;
    std::set<unsigned int> taken;
    for (const SSetListSong& song : *songs)
        if (!QDir::isAbsolutePath(song.path) || song.slot < kFirstSlot - 1 || !taken.insert(song.slot).second)
            std::abort();
    return 0;
}
