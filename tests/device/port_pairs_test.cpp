#include "device/port_pairs.h"

#include <gtest/gtest.h>

namespace {

struct SPairingCase {
    const char* what;
    EPortNaming naming;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    std::vector<std::string> names;  // of the pairs, in order
    std::vector<unsigned int> ports;
};

constexpr EPortNaming kEqual = EPortNaming::EQUAL_NAMES;
constexpr EPortNaming kJackNames = EPortNaming::JACK_CLIENTS;
const std::string kJack = "PULSE RING:PULSE RING";

const SPairingCase kCases[] = {
    {"equal names pair",
     kEqual,
     {"Synth", "PULSE RING"},
     {"PULSE RING", "Synth"},
     {"Synth", "PULSE RING"},
     {1 << 16, 1}},
    {"k-th input with k-th output", kEqual, {"A", "A"}, {"A", "Keys", "A"}, {"A", "A"}, {0, 2 << 16 | 1}},
    {"equal names ignore JACK's suffix", kEqual, {"PULSE RING-01:PULSE RING"}, {kJack}, {}, {}},
    {"JACK: clients differing by the suffix",
     kJackNames,
     {"PULSE RING-01:PULSE RING"},
     {kJack},
     {kJack},
     {0}},
    {"JACK: two pedals of one model in order",
     kJackNames,
     {"PULSE RING-01:PULSE RING", "PULSE RING-03:PULSE RING"},
     {kJack, "PULSE RING-02:PULSE RING"},
     {kJack, kJack},
     {0, 1 << 16 | 1}},
    {"JACK: different port names", kJackNames, {"PULSE RING-01:out"}, {"PULSE RING:in"}, {}, {}},
    {"JACK: a suffix not of two digits",
     kJackNames,
     {"PULSE RING-1:PULSE RING", "PULSE RING-AB:PULSE RING"},
     {kJack},
     {},
     {}},
};

class PortPairingTest : public ::testing::TestWithParam<SPairingCase> {};

TEST_P(PortPairingTest, PairsAsTheServiceNamesPorts)
{
    const SPairingCase& row = GetParam();
    std::vector<std::string> names;
    std::vector<unsigned int> ports;
    for (const SMidiPortPair& pair : pair_midi_ports(row.inputs, row.outputs, row.naming)) {
        names.push_back(pair.name);
        ports.push_back(pair.ports);
    }
    EXPECT_EQ(names, row.names) << row.what;
    EXPECT_EQ(ports, row.ports) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Namings, PortPairingTest, ::testing::ValuesIn(kCases));

}  // namespace
