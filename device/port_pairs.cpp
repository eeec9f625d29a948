#include "device/port_pairs.h"

#include <cctype>
#include <map>

namespace {

// JACK makes a taken client name unique by appending "-01", "-02" and so on.
std::string without_jack_suffix(const std::string& client)
{
    const size_t size = client.size();
    if (size > 3 && client[size - 3] == '-' && std::isdigit(static_cast<unsigned char>(client[size - 2])) &&
        std::isdigit(static_cast<unsigned char>(client[size - 1])))
        return client.substr(0, size - 3);
    return client;
}

template <typename Ports>
std::vector<std::string> port_names(Ports& ports)
{
    std::vector<std::string> names;
    const unsigned int count = ports.port_count();
    for (unsigned int i = 0; i < count; ++i)
        names.push_back(ports.port_name(i));
    return names;
}

}  // namespace

std::string midi_pairing_key(const std::string& name, EPortNaming naming)
{
    const size_t colon = name.find(':');
    if (naming == EPortNaming::EQUAL_NAMES || colon == std::string::npos)
        return name;
    return without_jack_suffix(name.substr(0, colon)) + name.substr(colon);
}

std::vector<SMidiPortPair> pair_midi_ports(const std::vector<std::string>& input_names,
                                           const std::vector<std::string>& output_names, EPortNaming naming)
{
    std::vector<std::string> output_keys;
    for (const std::string& name : output_names)
        output_keys.push_back(midi_pairing_key(name, naming));
    std::vector<SMidiPortPair> pairs;
    std::map<std::string, unsigned int> seen;
    for (unsigned int c = 0; c < input_names.size(); ++c) {
        const std::string key = midi_pairing_key(input_names[c], naming);
        // Two pedals of one model carry one name: the k-th input of a name goes with the
        // k-th output of that name, as the system lists the ports of one device together.
        unsigned int wanted = seen[key]++;
        for (unsigned int i = 0; i < output_keys.size(); ++i) {
            if (output_keys[i] == key && wanted-- == 0) {
                pairs.push_back({key, (i << 16) | c});
                break;
            }
        }
    }
    return pairs;
}

std::vector<SMidiPortPair> list_midi_port_pairs()
{
    auto inputs = midi_system().make_input("RtMidi Input Client", 100);
    auto outputs = midi_system().make_output("RtMidi Output Client");
    return pair_midi_ports(port_names(*inputs), port_names(*outputs), inputs->port_naming());
}
