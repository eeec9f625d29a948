#include "device/port_pairs.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

struct SPairingCase {
    const char* what;
    EPortNaming naming;
    Names inputs;
    Names outputs;
    // Each pair as name, output position, input position.
    std::vector<std::tuple<std::string, unsigned int, unsigned int>> pairs;
};

const SPairingCase kCases[] = {
    {"equal names pair",
     EPortNaming::EQUAL_NAMES,
     {"Synth", "PULSE RING"},
     {"PULSE RING", "Synth"},
     {{"Synth", 1, 0}, {"PULSE RING", 0, 1}}},
    {"equal names: the k-th input of a name goes with its k-th output",
     EPortNaming::EQUAL_NAMES,
     {"PULSE RING", "PULSE RING"},
     {"PULSE RING", "Keys", "PULSE RING"},
     {{"PULSE RING", 0, 0}, {"PULSE RING", 2, 1}}},
    {"equal names ignore JACK's suffix",
     EPortNaming::EQUAL_NAMES,
     {"PULSE RING-01:PULSE RING"},
     {"PULSE RING:PULSE RING"},
     {}},
    {"JACK: clients differing by the suffix pair",
     EPortNaming::JACK_CLIENTS,
     {"PULSE RING-01:PULSE RING"},
     {"PULSE RING:PULSE RING"},
     {{"PULSE RING:PULSE RING", 0, 0}}},
    {"JACK: one client with both ports pairs",
     EPortNaming::JACK_CLIENTS,
     {"box:midi"},
     {"box:midi"},
     {{"box:midi", 0, 0}}},
    {"JACK: two pedals of one model pair in order",
     EPortNaming::JACK_CLIENTS,
     {"PULSE RING-01:PULSE RING", "PULSE RING-03:PULSE RING"},
     {"PULSE RING:PULSE RING", "PULSE RING-02:PULSE RING"},
     {{"PULSE RING:PULSE RING", 0, 0}, {"PULSE RING:PULSE RING", 1, 1}}},
    {"JACK: different port names stay apart",
     EPortNaming::JACK_CLIENTS,
     {"PULSE RING-01:out"},
     {"PULSE RING:in"},
     {}},
    {"JACK: a suffix not of two digits is part of the name",
     EPortNaming::JACK_CLIENTS,
     {"PULSE RING-1:PULSE RING", "PULSE RING-AB:PULSE RING"},
     {"PULSE RING:PULSE RING"},
     {}},
    {"JACK: names without a client compare whole",
     EPortNaming::JACK_CLIENTS,
     {"Synth", "Other"},
     {"Synth"},
     {{"Synth", 0, 0}}},
};

class PortPairingTest : public ::testing::TestWithParam<SPairingCase> {};

TEST_P(PortPairingTest, PairsAsTheServiceNamesPorts)
{
    const SPairingCase& row = GetParam();
    const std::vector<SMidiPortPair> pairs = pair_midi_ports(row.inputs, row.outputs, row.naming);
    ASSERT_EQ(pairs.size(), row.pairs.size()) << row.what;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto& [name, output, input] = row.pairs[i];
        EXPECT_EQ(pairs[i].name, name) << row.what;
        EXPECT_EQ(pairs[i].ports, output << 16 | input) << row.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Namings, PortPairingTest, ::testing::ValuesIn(kCases));

}  // namespace
