#include "device/port_pairs.h"

#include "device/midi_system.h"

#include <map>

std::vector<SMidiPortPair> list_midi_port_pairs()
{
    auto inputs = midi_system().make_input("RtMidi Input Client", 100);
    auto outputs = midi_system().make_output("RtMidi Output Client");
    std::vector<std::string> output_names;
    for (unsigned int i = 0; i < outputs->port_count(); ++i)
        output_names.push_back(outputs->port_name(i));
    std::vector<SMidiPortPair> pairs;
    std::map<std::string, unsigned int> seen;
    const unsigned int input_count = inputs->port_count();
    for (unsigned int c = 0; c < input_count; ++c) {
        const std::string name = inputs->port_name(c);
        // Two pedals of one model carry one name: the k-th input of a name goes with the
        // k-th output of that name, as the system lists the ports of one device together.
        unsigned int wanted = seen[name]++;
        for (unsigned int i = 0; i < output_names.size(); ++i) {
            if (output_names[i] == name && wanted-- == 0) {
                pairs.push_back({name, (i << 16) | c});
                break;
            }
        }
    }
    return pairs;
}
