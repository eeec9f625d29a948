#include "emulator/virtual_midi_system.h"
#include "emulator/host_port_pair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

// A device that answers every message with the same message plus a marker byte before F7.
struct SEchoDevice {
    CVirtualMidiSystem& system;
    CVirtualMidiSystem::DeviceId id = 0;
    std::mutex mutex;
    std::vector<Message> received;

    // `at_once`: answers inside the host's send (deliver_to_host) instead of queueing.
    SEchoDevice(CVirtualMidiSystem& s, const std::string& name, unsigned char marker, bool at_once = false)
        : system(s)
    {
        id = system.plug_device(name, [this, marker, at_once](const Message& message) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                received.push_back(message);
            }
            Message answer = message;
            answer.insert(answer.end() - 1, marker);
            EXPECT_TRUE(at_once ? system.deliver_to_host(id, answer) : system.send_to_host(id, answer));
        });
    }
};

std::vector<std::string> names(CMidiIn& in)
{
    std::vector<std::string> result;
    for (unsigned int i = 0; i < in.port_count(); ++i)
        result.push_back(in.port_name(i));
    return result;
}

std::vector<std::string> names(CMidiOut& out)
{
    std::vector<std::string> result;
    for (unsigned int i = 0; i < out.port_count(); ++i)
        result.push_back(out.port_name(i));
    return result;
}

const Message SYSEX = {0xF0, 0x59, 0x12, 0x00, 0x34, 0xF7};

}  // namespace

TEST(VirtualMidiSystem, EnumeratesPairsAndLonePortsInPlugOrderAndShiftsOnUnplug)
{
    CVirtualMidiSystem system;
    EXPECT_EQ(system.api(), EMidiApi::VIRTUAL);
    const auto keyboard = system.add_source("Keys");
    const auto first = system.plug_device("Pedal", [](const Message&) {});
    system.add_destination("Synth", [](const Message&) {});
    system.plug_device("Pedal", [](const Message&) {});

    auto in = system.make_input("RtMidi Input Client", 100);
    auto out = system.make_output("RtMidi Output Client");
    EXPECT_EQ(names(*in), (std::vector<std::string>{"Keys", "Pedal", "Pedal"}));
    EXPECT_EQ(names(*out), (std::vector<std::string>{"Pedal", "Synth", "Pedal"}));
    EXPECT_EQ(in->port_name(7), "");

    system.unplug(first);
    system.unplug(keyboard);
    system.unplug(first);
    EXPECT_FALSE(system.is_plugged(first));
    EXPECT_EQ(names(*in), (std::vector<std::string>{"Pedal"}));
    EXPECT_EQ(names(*out), (std::vector<std::string>{"Synth", "Pedal"}));
}

TEST(VirtualMidiSystem, OpeningAPortOutOfRangeThrowsTheLibrarysText)
{
    CVirtualMidiSystem system;
    system.plug_device("Pedal", [](const Message&) {});
    auto in = system.make_input("RtMidi Input Client", 100);
    auto out = system.make_output("RtMidi Output Client");
    try {
        out->open_port(1, "RtMidi Output");
        FAIL() << "no error";
    } catch (const CMidiError& error) {
        EXPECT_STREQ(error.what(), "MidiOutVirtual::openPort: the 'portNumber' argument (1) is invalid.");
    }
    EXPECT_THROW(in->open_port(3, "RtMidi Input"), CMidiError);
    EXPECT_FALSE(in->is_port_open());
    EXPECT_FALSE(out->is_port_open());
    EXPECT_THROW(out->send_message(SYSEX.data(), SYSEX.size()), CMidiError);
}

TEST(VirtualMidiSystem, UnreachableServiceRefusesNewClientsButKeepsOldOnes)
{
    CVirtualMidiSystem system;
    system.plug_device("Pedal", [](const Message&) {});
    auto out = system.make_output("RtMidi Output Client");
    system.set_reachable(false);
    try {
        system.make_input("RtMidi Input Client", 100);
        FAIL() << "no error";
    } catch (const CMidiError& error) {
        EXPECT_STREQ(error.what(), "error creating ALSA sequencer client object");
    }
    EXPECT_THROW(system.make_output("RtMidi Output Client"), CMidiError);
    EXPECT_EQ(out->port_count(), 1u);
    system.set_reachable(true);
    EXPECT_NE(system.make_input("RtMidi Input Client", 100), nullptr);
}

// A queued answer reaches the host on the delivery thread; one delivered at once runs the
// host's callback re-entrantly, inside its own send, on the sending thread. Either way
// every message arrives whole and in order.
class VirtualMidiDelivery : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Ways, VirtualMidiDelivery, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AtOnce" : "Queued"; });

TEST_P(VirtualMidiDelivery, MessagesTravelWholeInOrderOnTheThreadTheDeviceChose)
{
    const bool at_once = GetParam();
    CVirtualMidiSystem system;
    SEchoDevice device(system, "Pedal", 0x01, at_once);
    CHostPortPair host(system, "Pedal");

    for (unsigned char i = 0; i < 50; ++i) {
        const Message message = {0xF0, 0x59, i, 0x00, 0xF7};
        host.send(message);
    }
    for (unsigned char i = 0; i < 50; ++i) {
        const auto reply = host.next();
        ASSERT_TRUE(reply);
        EXPECT_EQ(*reply, (Message{0xF0, 0x59, i, 0x00, 0x01, 0xF7}));
    }
    EXPECT_EQ(device.received.size(), 50u);
    EXPECT_EQ(host.callback_ran_on(std::this_thread::get_id()), at_once);
}

TEST(VirtualMidiSystem, SysexIsFilteredUntilTheFilterIsClearedAndOtherTypesPass)
{
    CVirtualMidiSystem system;
    const auto device = system.add_source("Keys");
    auto in = system.make_input("RtMidi Input Client", 100);
    std::vector<Message> seen;
    in->open_port(0, "RtMidi Input");
    in->set_callback([](double, std::vector<unsigned char>* message,
                        void* user) { static_cast<std::vector<Message>*>(user)->push_back(*message); },
                     &seen);
    in->set_callback([](double, std::vector<unsigned char>*, void*) { FAIL() << "second callback used"; },
                     nullptr);

    const Message note_on = {0x90, 0x40, 0x7F};
    const Message clock = {0xF8};
    ASSERT_TRUE(system.send_to_host(device, SYSEX));
    ASSERT_TRUE(system.send_to_host(device, clock));
    ASSERT_TRUE(system.send_to_host(device, note_on));
    system.wait_until_delivered();
    in->ignore_types(false, true, true);
    ASSERT_TRUE(system.send_to_host(device, SYSEX));
    system.wait_until_delivered();

    EXPECT_EQ(seen, (std::vector<Message>{note_on, SYSEX}));
}

TEST(VirtualMidiSystem, UnpluggedPortsLeaveDeadHandles)
{
    CVirtualMidiSystem system;
    SEchoDevice device(system, "Pedal", 0x01);
    CHostPortPair host(system, "Pedal");
    const auto id = device.id;
    system.unplug(id);

    EXPECT_TRUE(host.is_open());
    EXPECT_THROW(host.send(SYSEX), CMidiError);
    EXPECT_FALSE(system.send_to_host(id, SYSEX));
    system.wait_until_delivered();
    EXPECT_EQ(host.pending(), 0u);

    SEchoDevice again(system, "Pedal", 0x02);
    EXPECT_THROW(host.send(SYSEX), CMidiError) << "an old handle must not reach a re-plugged device";
    CHostPortPair reopened(system, "Pedal");
    reopened.send(SYSEX);
    EXPECT_TRUE(reopened.next());
}

// The service stopped, as a JACK server that ended: the inputs that asked are told once, an
// input that asks later at once, and the handles of the stopped service stay dead once it
// runs again.
TEST(VirtualMidiSystem, StoppedServiceTellsItsInputsAndLeavesDeadHandles)
{
    CVirtualMidiSystem system;
    SEchoDevice device(system, "Pedal", 0x01);
    CHostPortPair host(system, "Pedal");
    auto watching = system.make_input("RtMidi Input Client", 100);
    auto asking_late = system.make_input("RtMidi Input Client", 100);
    std::atomic<int> ends{0};
    const MidiServiceEndCallback count_end = [](void* user) { ++*static_cast<std::atomic<int>*>(user); };
    watching->set_service_end_callback(count_end, &ends);
    system.stop_service();
    EXPECT_EQ(ends.load(), 1);
    asking_late->set_service_end_callback(count_end, &ends);
    EXPECT_EQ(ends.load(), 2);

    system.set_reachable(true);
    EXPECT_THROW(host.send(SYSEX), CMidiError);
    ASSERT_TRUE(system.send_to_host(device.id, SYSEX));
    system.wait_until_delivered();
    EXPECT_EQ(host.pending(), 0u);
    system.stop_service();
    EXPECT_EQ(ends.load(), 2) << "an input of a stopped service was told again";
}

TEST(VirtualMidiSystem, ClosedInputGetsNothingMore)
{
    CVirtualMidiSystem system;
    const auto device = system.add_source("Keys");
    std::atomic<int> calls{0};
    auto in = system.make_input("RtMidi Input Client", 100);
    in->open_port(0, "RtMidi Input");
    in->ignore_types(false, false, false);
    in->set_callback(
        [](double, std::vector<unsigned char>*, void* user) { ++*static_cast<std::atomic<int>*>(user); },
        &calls);
    ASSERT_TRUE(system.send_to_host(device, SYSEX));
    system.wait_until_delivered();
    in->close_port();
    ASSERT_TRUE(system.send_to_host(device, SYSEX));
    system.wait_until_delivered();
    EXPECT_EQ(calls.load(), 1);
}

// Counting ports from another thread while devices come and go, as the program's
// detection thread does; run under TSan this proves the registry is safe to share.
TEST(VirtualMidiSystem, PortsCanBeCountedFromAnotherThreadWhileDevicesComeAndGo)
{
    CVirtualMidiSystem system;
    std::atomic<bool> stop{false};
    std::atomic<unsigned> largest{0};
    std::thread watcher([&] {
        auto out = system.make_output("RtMidi Output Client");
        while (!stop) {
            const unsigned n = out->port_count();
            if (n > largest)
                largest = n;
            for (unsigned i = 0; i < n; ++i)
                static_cast<void>(out->port_name(i));
        }
    });
    for (int round = 0; round < 200; ++round) {
        const auto a = system.plug_device("A", [](const Message&) {});
        const auto b = system.add_destination("B", [](const Message&) {});
        system.unplug(a);
        system.unplug(b);
    }
    stop = true;
    watcher.join();
    EXPECT_LE(largest.load(), 2u);
    EXPECT_EQ(system.destination_count(), 0u);
}
