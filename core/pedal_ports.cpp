#include "core/pedal_ports.h"

#include "device/midi_system.h"
#include "device/model_info.h"
#include "device/port_pairs.h"
#include "device/usb_connect.h"

bool list_pedal_ports(std::vector<SPortLine>& lines, QString& error)
{
    lines.clear();
    std::vector<SMidiPortPair> pairs;
    try {
        pairs = list_midi_port_pairs();
    } catch (const CMidiError& failure) {
        log_midi_failure(failure);
        error = midi_unreachable_text();
        return false;
    }
    for (const SMidiPortPair& pair : pairs) {
        SPortLine line;
        line.name = QString::fromStdString(pair.name);
        line.ports = pair.ports;
        CUSBConnect link;
        line.pedal = link.open(pair.ports, true);
        if (line.pedal) {
            line.update_mode = link.is_in_update_mode();
            const SModelInfo* model = link.model_info();
            line.model = model ? QString::fromLatin1(model->model_name) : QString();
            line.version = link.firmware_version();
            line.product_id = link.product_id();
            link.close();
        }
        lines.push_back(line);
    }
    return true;
}
