#include "device/pedal_search.h"

#include "device/midi_system.h"
#include "device/model_info.h"
#include "device/port_pairs.h"
#include "device/usb_connect.h"

#include <QDebug>
#include <algorithm>

namespace {
// The command a replug-flagged model takes to drop its USB link and come back.
constexpr unsigned char REPLUG_CMD[3] = {0x21, 0x00, 0x21};

// A pedal answered in application mode: the program works only in update mode. One that
// was told so already is let go silently.
void turn_away_app_mode_pedal(CUSBConnect& link, CAnsweredPedals* answered, const std::string& port_name,
                              std::vector<EPedalNotice>& notices)
{
    if (answered) {
        if (answered->contains(port_name)) {
            link.close();
            return;
        }
        answered->add(port_name);
    }
    const SModelInfo* model = link.model_info();
    if (model && model->replug) {
        if (!link.send_free_cmd(REPLUG_CMD[0], REPLUG_CMD[1], REPLUG_CMD[2]))
            qDebug("search_and_open_pedal: the replug command could not be sent");
        link.close();
        notices.push_back(EPedalNotice::REPLUG);
        return;
    }
    link.close();
    notices.push_back(EPedalNotice::ENTER_UPDATE_MODE);
}
}  // namespace

void CAnsweredPedals::keep_only(const std::vector<std::string>& port_names)
{
    for (auto name = m_names.begin(); name != m_names.end();) {
        if (std::find(port_names.begin(), port_names.end(), *name) == port_names.end())
            name = m_names.erase(name);
        else
            ++name;
    }
}

QString pedal_notice_text(EPedalNotice notice)
{
    switch (notice) {
        case EPedalNotice::REPLUG:
            return QStringLiteral("Please replug the USB cable to enter update mode!");
        case EPedalNotice::ENTER_UPDATE_MODE:
            return QStringLiteral(
                "You should enter update mode first! For how to enter update mode, please refer to the "
                "manual");
    }
    return {};
}

QStringList pedal_search_messages(const SPedalSearch& search)
{
    QStringList messages;
    for (const EPedalNotice notice : search.notices)
        messages.push_back(pedal_notice_text(notice));
    if (!search.midi_error.isEmpty())
        messages.push_back(midi_unreachable_text());
    return messages;
}

SPedalSearch search_and_open_pedal(CUSBConnect& link, CAnsweredPedals* answered)
{
    SPedalSearch search;
    try {
        auto inputs = midi_system().make_input("RtMidi Input Client", 100);
        auto outputs = midi_system().make_output("RtMidi Output Client");
        const EPortNaming naming = inputs->port_naming();
        const unsigned int input_count = inputs->port_count();
        std::vector<std::string> output_keys;
        for (unsigned int i = 0; i < outputs->port_count(); ++i)
            output_keys.push_back(midi_pairing_key(outputs->port_name(i), naming));
        if (answered)
            answered->keep_only(output_keys);
        for (unsigned int c = 0; c < input_count; ++c) {
            const std::string key = midi_pairing_key(inputs->port_name(c), naming);
            bool opened = false;
            for (unsigned int i = 0; i < output_keys.size() && !opened; ++i) {
                if (output_keys[i] == key)
                    opened = link.open((i << 16) | c, true);
            }
            if (!opened)
                continue;
            if (link.is_in_update_mode()) {
                search.opened = true;
                search.port_name = key;
                return search;
            }
            turn_away_app_mode_pedal(link, answered, key, search.notices);
        }
    } catch (const CMidiError& error) {
        log_midi_failure(error);
        search.midi_error = QString::fromLocal8Bit(error.what());
    }
    search.opened = link.is_in_update_mode();
    return search;
}
