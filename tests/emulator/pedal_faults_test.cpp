#include "pedal_fixture.h"

#include <chrono>

namespace {

// The healthy reply to reading 4 bytes of the information record of the default pedal.
Bytes healthy_read_reply()
{
    return pedal_wire::make_packet(0x23, hex_bytes("00 80 21 00 00 04 00 00 00 07 01 00"));
}

}  // namespace

struct SReplyFaultCase {
    const char* name;
    EPedalFaultKind kind;
    // What the host receives instead of the healthy reply.
    Bytes (*expected)(Bytes healthy);
};

class PedalReplyFaults : public PedalTest, public ::testing::WithParamInterface<SReplyFaultCase> {};

TEST_P(PedalReplyFaults, FalsifyOnlyTheNamedPartOfTheReply)
{
    start();
    pedal->add_fault(SPedalFault::update(GetParam().kind, 0x23));
    const Bytes reply = request(0x23, read(0, 0x2180, 4));
    const Bytes expected = GetParam().expected(healthy_read_reply());
    EXPECT_EQ(reply, expected) << hex_diff(reply, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PedalReplyFaults,
    ::testing::Values(SReplyFaultCase{"Refuse", EPedalFaultKind::REFUSE,
                                      [](Bytes) { return pedal_wire::make_packet(0x00, {1}); }},
                      SReplyFaultCase{"ShortReply", EPedalFaultKind::SHORT_REPLY,
                                      [](Bytes b) { return Bytes(b.begin(), b.end() - 1); }},
                      SReplyFaultCase{"WrongType", EPedalFaultKind::WRONG_TYPE,
                                      [](Bytes b) {
                                          b[2] = 0x63;
                                          return b;
                                      }},
                      SReplyFaultCase{"WrongAddress", EPedalFaultKind::WRONG_ADDRESS,
                                      [](Bytes) {
                                          return pedal_wire::make_packet(
                                              0x23, hex_bytes("00 81 21 00 00 04 00 00 00 07 01 00"));
                                      }},
                      SReplyFaultCase{"BadChecksum", EPedalFaultKind::BAD_CHECKSUM,
                                      [](Bytes b) {
                                          b.back() = static_cast<uint8_t>(~b.back());
                                          return b;
                                      }},
                      SReplyFaultCase{"WrongLengthField", EPedalFaultKind::WRONG_LENGTH_FIELD,
                                      [](Bytes b) {
                                          b[3] = 13;
                                          return b;
                                      }},
                      SReplyFaultCase{"WrongData", EPedalFaultKind::WRONG_DATA,
                                      [](Bytes) {
                                          return pedal_wire::make_packet(
                                              0x23, hex_bytes("00 80 21 00 00 04 00 00 FF 07 01 00"));
                                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalTest, NoReplyFaultStillCarriesOutTheCommand)
{
    start();
    pedal->add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, 0x22));
    host->send_bytes(pedal_wire::make_packet(0x22, write(1, 0, hex_bytes("00"))), true);
    expect_silence();
    EXPECT_EQ(pedal->nand().read(0, 1), hex_bytes("00"));
}

TEST_F(PedalTest, RefusedEraseLeavesTheBlockAsItWas)
{
    start();
    EXPECT_EQ(request(0x22, write(1, 0, hex_bytes("00"))), status(0));
    pedal->add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x21));
    EXPECT_EQ(request(0x21, erase(1, 0)), status(1));
    EXPECT_EQ(pedal->nand().read(0, 1), hex_bytes("00"));
}

TEST_F(PedalTest, OccurrenceFaultHitsOnlyTheNthMatchingCommand)
{
    start();
    pedal->add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x21, 2));
    EXPECT_EQ(request(0x11, {}).size(), 34u) << "other commands do not count";
    EXPECT_EQ(request(0x21, erase(1, 0)), status(0));
    EXPECT_EQ(request(0x21, erase(1, 0)), status(1));
    EXPECT_EQ(request(0x21, erase(1, 0)), status(0));
    pedal->add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, -1));
    EXPECT_EQ(request(0x11, {}), status(1));
    pedal->clear_faults();
    EXPECT_EQ(request(0x11, {}).size(), 34u);
}

TEST_F(PedalTest, AddressRangeFaultHitsOnlyCommandsInsideIt)
{
    start();
    SPedalFault fault = SPedalFault::update(EPedalFaultKind::REFUSE, 0x23);
    fault.first_address = 0x2181;
    fault.last_address = 0x2182;
    pedal->add_fault(fault);
    EXPECT_EQ(request(0x23, read(0, 0x2180, 4)), healthy_read_reply());
    EXPECT_EQ(request(0x23, read(0, 0x2182, 2)), status(1));
    EXPECT_EQ(request(0x23, read(0, 0x2183, 1)).size(), 16u);
}

TEST_F(PedalTest, DelayedReplyComesLateButWhole)
{
    start();
    SPedalFault late = SPedalFault::update(EPedalFaultKind::DELAY, 0x11);
    late.delay_ms = 100;
    pedal->add_fault(late);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(request(0x11, {}).size(), 34u);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(100));

    pedal->clear_faults();
    pedal->set_reply_latency(std::chrono::milliseconds(30));
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(request(0x21, erase(1, 0)), status(0));
    EXPECT_GE(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(30));

    // A request sent while a late reply is still on its way, with nothing armed any more,
    // queues behind it instead of being answered at once ahead of it.
    pedal->set_reply_latency(std::chrono::microseconds(0));
    pedal->add_fault(late);
    host->send_bytes(pedal_wire::make_packet(0x11, {}), true);
    pedal->clear_faults();
    EXPECT_EQ(request(0x21, erase(1, 0)).size(), 34u);
    EXPECT_EQ(host->next_bytes(true).value_or(Bytes{}), status(0));
}

TEST_F(PedalTest, UnplugFaultsRemoveThePortsBeforeOrAfterTheCommand)
{
    for (const auto kind : {EPedalFaultKind::UNPLUG_BEFORE, EPedalFaultKind::UNPLUG_AFTER}) {
        start();
        pedal->add_fault(SPedalFault::update(kind, 0x22));
        host->send_bytes(pedal_wire::make_packet(0x22, write(1, 0, hex_bytes("00"))), true);
        expect_silence();
        EXPECT_FALSE(pedal->is_plugged());
        EXPECT_EQ(system.source_count(), 0u);
        EXPECT_THROW(host->send_bytes(pedal_wire::make_packet(0x11, {}), true), CMidiError);
        EXPECT_EQ(pedal->nand().stored_page_count(), kind == EPedalFaultKind::UNPLUG_AFTER ? 1u : 0u);
        TearDown();
    }
}

TEST_F(PedalTest, ApplicationModeFaults)
{
    start(SPedalConfig{0x2712, 0, 0, EPedalMode::APP, "", {}, {}, true, true, {}});
    pedal->add_fault(SPedalFault::app(EPedalFaultKind::WRONG_TYPE, 0x12, 1));
    pedal->add_fault(SPedalFault::app(EPedalFaultKind::SHORT_REPLY, 0x12, 2));
    EXPECT_EQ(app_request("59 12 00 34"), hex_bytes("59 52 00 34"));
    EXPECT_EQ(app_request("59 12 00 34"), hex_bytes("59 12 00"));
    pedal->add_fault(SPedalFault::app(EPedalFaultKind::NO_REPLY, 0x13));
    host->send_bytes(hex_bytes("59 13 00 00"), false);
    expect_silence();
    pedal->add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x12));
    EXPECT_EQ(app_request("59 12 00 34"), hex_bytes("59 12 00 34")) << "an update-mode fault must not match";
}

struct SPowerCutCase {
    const char* name;
    EPowerCutEffect effect;
    const char* third_write_left;
};

class PedalPowerCut : public PedalTest, public ::testing::WithParamInterface<SPowerCutCase> {};

TEST_P(PedalPowerCut, KeepsEarlierOperationsAndGoesSilentUntilReplugged)
{
    start();
    pedal->cut_power_at_flash_operation(3, GetParam().effect);
    EXPECT_EQ(request(0x21, erase(1, 0)), status(0));
    EXPECT_EQ(request(0x22, write(1, 0, hex_bytes("11 22"))), status(0));
    host->send_bytes(pedal_wire::make_packet(0x22, write(1, 4096, hex_bytes("33 44 55 66"))), true);
    expect_silence();
    EXPECT_FALSE(pedal->is_powered());
    host->send_bytes(pedal_wire::make_packet(0x11, {}), true);
    expect_silence();

    EXPECT_EQ(pedal->nand().read(0, 2), hex_bytes("11 22"));
    EXPECT_EQ(pedal->nand().read(4096, 4), hex_bytes(GetParam().third_write_left));

    host.reset();
    pedal->unplug();
    pedal->plug();
    host = std::make_unique<CHostPortPair>(system, pedal->port_name());
    EXPECT_EQ(request(0x11, {}).size(), 34u);
    EXPECT_EQ(request(0x22, write(1, 8192, hex_bytes("00"))), status(0)) << "the cut is not armed again";
    EXPECT_EQ(pedal->nand().read(0, 2), hex_bytes("11 22"));
}

INSTANTIATE_TEST_SUITE_P(Effects, PedalPowerCut,
                         ::testing::Values(SPowerCutCase{"NotDone", EPowerCutEffect::NOT_DONE, "FF FF FF FF"},
                                           SPowerCutCase{"PartlyDone", EPowerCutEffect::PARTLY_DONE,
                                                         "33 44 FF FF"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalTest, PowerCycleRestoresAnswersWithoutReplugging)
{
    start();
    pedal->cut_power_at_flash_operation(1);
    host->send_bytes(pedal_wire::make_packet(0x21, erase(1, 0)), true);
    expect_silence();
    pedal->power_cycle();
    EXPECT_TRUE(pedal->is_powered());
    EXPECT_EQ(request(0x11, {}).size(), 34u);
}
