#include "core/pedal_connect.h"

#include "core/pedal_session.h"
#include "songs/looper_song_data.h"

namespace {

SPedalConnect load_after_open(CPedalSession& session, bool opened)
{
    SPedalConnect connect;
    connect.opened = opened;
    if (!opened || !session.song_format()) {
        connect.messages = session.take_notes();
        return connect;
    }
    const bool loaded = session.load_songs() == LOOPER_RESULT_OK;
    connect.messages = session.take_notes();
    if (!loaded) {
        connect.load_failed = true;
        connect.messages << QStringLiteral("Load song info failed !");
        return connect;
    }
    // Once a connection: later loads find the same interrupted writes again.
    for (unsigned int slot : session.songs().fallback_slots())
        connect.messages << CLooperSongData::fallback_notice(slot);
    return connect;
}

}  // namespace

SPedalConnect connect_pedal(CPedalSession& session)
{
    const bool opened = session.search_and_open();
    return load_after_open(session, opened);
}

SPedalConnect connect_pedal_on(CPedalSession& session, unsigned int ports)
{
    const bool opened = session.open_port(ports);
    return load_after_open(session, opened);
}

SPedalConnect keep_pedal(CPedalSession& session)
{
    SPedalConnect kept;
    kept.opened = session.check_connect();
    if (!kept.opened)
        session.close();
    kept.messages = session.take_notes();
    return kept;
}
