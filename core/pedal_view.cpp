#include "core/pedal_view.h"

#include "audio/song_time_text.h"
#include "core/pedal_session.h"
#include "device/model_info.h"
#include "device/nand_flash_config.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"
#include "support/neat.h"

SPedalIdentity pedal_identity(const CPedalSession& session)
{
    SPedalIdentity identity;
    identity.open = session.is_open();
    if (!identity.open)
        return identity;
    const CUSBConnect& link = session.link();
    identity.update_mode = link.is_in_update_mode();
    identity.product_id = link.product_id();
    identity.firmware_version = link.firmware_version();
    if (const SModelInfo* model = link.model_info()) {
        identity.known_model = true;
        identity.model = QString::fromLatin1(model->model_name);
    }
    const SNandFlashConfig* format = session.song_format();
    identity.keeps_songs = identity.update_mode && format;
    identity.channels = format ? format->channels : 0;
    identity.slot_count = session.songs().slot_count();
    return identity;
}

SSlotLine slot_line(const CPedalSession& session, unsigned int slot)
{
    SSlotLine line;
    line.slot = slot;
    line.holds_song = session.slot_holds_song(static_cast<int>(slot));
    if (!line.holds_song) {
        line.text = QString::asprintf("Song %.3u -- (Empty)", slot + 1);
        return line;
    }
    line.bytes = session.songs().get_file_length(slot);
    line.seconds = session.song_seconds(line.bytes);
    line.text = session.songs().get_name(slot) + QStringLiteral("  ") + time_text(line.seconds);
    return line;
}

std::vector<SSlotLine> slot_lines(const CPedalSession& session)
{
    std::vector<SSlotLine> lines;
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot)
        lines.push_back(slot_line(session, slot));
    return lines;
}

SFreeSpace free_space(const CPedalSession& session)
{
    SFreeSpace free;
    const SNandFlashConfig* format = session.song_format();
    if (!format || !session.is_ready_for_songs())
        return free;
    free.bytes = session.free_song_bytes();
    free.seconds = session.song_seconds(free.bytes);
    free.text = free_space_text(free.bytes, format->channels);
    // One slot cannot take all the free space; its chain is the limit a musician meets.
    if (session.songs().slot_count() == 1)
        free.text += QStringLiteral("; one song holds at most ") +
                     time_text(session.song_seconds(session.slot_song_bytes()));
    return free;
}

QString firmware_version_text(unsigned int version)
{
    return QStringLiteral("V") + NEAT::convert_version_to_str(version);
}
