#pragma once

#include "device/midi_system.h"
#include "emulator/serial_worker.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// CVirtualMidiSystem: an in-process MIDI service behind the CMidiSystem seam, so the device
// link, the song storage and the program run unchanged against emulated devices.
//
// Ports as the host sees them, named as on CoreMIDI:
//   - a source is a port the host opens with a CMidiIn (the device sends, the host receives);
//   - a destination is a port the host opens with a CMidiOut (the host sends to the device).
// A USB-MIDI pedal plugs in as a source and a destination of the same name (plug_device);
// lone sources and destinations (a keyboard, a synthesizer) can be added too. New ports
// are appended to the enumeration; unplugging removes them, so the positions of later
// ports shift down by one, as they do on a real system.
//
// Delivery:
//   - CMidiOut::send_message hands the whole message synchronously, on the sending thread,
//     to the destination's sink. A sink must not unplug its own device from inside the call.
//   - send_to_host queues one whole message for a source. One delivery thread per system
//     hands each queued message, in order, to the callback of every CMidiIn open on that
//     source. A sink that sends back this way returns at once; the host hears it later, on
//     the delivery thread.
//   - deliver_to_host hands one whole message to those callbacks at once, on the calling
//     thread. Called from inside a sink it is re-entrant: the host's callback runs inside
//     the host's own send_message, on the sending thread, with no thread hand-off. That is
//     how an instant device answers; a device whose answer waits, or may unplug, queues.
//     A device uses one of the two ways at a time (delivery_idle() tells when the queue is
//     through), so a callback never runs on two threads at once.
//   - Sysex, timing clock and active sensing are filtered until ignore_types() clears the
//     filter, as the MIDI library does by default. A message arriving while an open input
//     has no callback is dropped (the seam has no polling read).
//
// Unplugging: a handle opened on a vanished port stays "open" (is_port_open() true, as the
// library keeps its flag) but is dead: send_message throws CMidiError and nothing more is
// delivered to it. Re-plugging creates new ports; old handles stay dead until reopened.
//
// Stopping (stop_service): the service ends as a JACK server does when it is stopped. Every
// input that asked for it is told (on the stopping thread), every handle made before is dead
// as an unplugged one, and no client can be made until set_reachable(true) starts the
// service again; handles of the stopped service stay dead.
//
// Thread safety: every member may be called from any thread. close_port() and the
// destruction of a CMidiIn wait for a callback running (on any thread) to return,
// so a callback must not close or destroy its own input. The destructor stops the
// delivery thread; every CMidiIn/CMidiOut made by the system must be destroyed first.
class CVirtualMidiSystem : public CMidiSystem {
public:
    using DeviceId = unsigned int;
    // Receives one whole message the host sent to a destination.
    using Sink = std::function<void(const std::vector<unsigned char>& message)>;

    CVirtualMidiSystem();
    ~CVirtualMidiSystem() override;
    CVirtualMidiSystem(const CVirtualMidiSystem&) = delete;
    CVirtualMidiSystem& operator=(const CVirtualMidiSystem&) = delete;

    EMidiApi api() const override { return EMidiApi::VIRTUAL; }
    // Both throw CMidiError("error creating ALSA sequencer client object") while the service
    // is unreachable; queue_limit is accepted and not used (messages go to the callback).
    std::unique_ptr<CMidiIn> make_input(const std::string& client_name, unsigned int queue_limit) override;
    std::unique_ptr<CMidiOut> make_output(const std::string& client_name) override;

    // Device side. Each returns the id of the new device; ids are never reused.
    DeviceId plug_device(const std::string& name, Sink sink);      // source + destination
    DeviceId add_source(const std::string& name);                  // host input port only
    DeviceId add_destination(const std::string& name, Sink sink);  // host output port only
    // Removes the device's ports. Waits for a sink call in progress to return; once it
    // returns, the sink is never called again. Unknown or already removed ids are ignored.
    void unplug(DeviceId device);
    [[nodiscard]] bool is_plugged(DeviceId device) const;

    // Queues one whole message from the device's source. False when the device has no
    // source or is unplugged (the message is dropped).
    [[nodiscard]] bool send_to_host(DeviceId device, std::vector<unsigned char> message);
    // Hands one whole message from the device's source to the host's callbacks now, on this
    // thread; false (nothing delivered) as for send_to_host.
    [[nodiscard]] bool deliver_to_host(DeviceId device, std::vector<unsigned char> message);
    // Every queued message has been handed over and none is being handed over.
    [[nodiscard]] bool delivery_idle();

    // While false, make_input and make_output throw, as when no MIDI service is reachable.
    void set_reachable(bool reachable);
    // Ends the service (see above); the service stays unreachable until set_reachable(true).
    void stop_service();
    // make_input and make_output calls refused so far: each one would have printed the
    // MIDI library's complaint to the console.
    [[nodiscard]] unsigned int refused_client_count() const;

    // Blocks until every message queued so far has been handed to the host's callbacks.
    void wait_until_delivered();

    [[nodiscard]] unsigned int source_count() const;
    [[nodiscard]] unsigned int destination_count() const;

    struct SInputState;
    struct SDevice;

private:
    template <typename, bool>
    friend class CVirtualPorts;
    friend class CVirtualMidiIn;
    friend class CVirtualMidiOut;

    struct SQueued {
        DeviceId source;
        std::vector<unsigned char> message;
    };

    DeviceId add_device(const std::string& name, bool has_source, Sink sink);
    std::shared_ptr<SDevice> find_port(bool source, unsigned int position, std::string* name) const;
    void subscribe(DeviceId source, const std::shared_ptr<SInputState>& input);
    void unsubscribe(const std::shared_ptr<SInputState>& input);
    void check_reachable();
    bool has_source(DeviceId device) const;
    void deliver(SQueued& item);
    unsigned int generation() const;
    // Tells `input` when the service stops; at once when the service it was made on has.
    void watch_service(const std::shared_ptr<SInputState>& input);
    void unwatch_service(const std::shared_ptr<SInputState>& input);

    mutable std::mutex m_mutex;                            // guards everything below but the delivery worker
    std::vector<std::shared_ptr<SDevice>> m_devices;       // in plug order: the enumeration order
    std::vector<std::shared_ptr<SInputState>> m_inputs;    // open host inputs
    std::vector<std::shared_ptr<SInputState>> m_watchers;  // inputs told when the service stops
    bool m_reachable = true;
    // Counts the stops: a handle made in an earlier generation is dead.
    unsigned int m_generation = 0;
    unsigned int m_refused_clients = 0;
    DeviceId m_next_id = 1;
    CSerialWorker<SQueued> m_delivery;  // last: stopped before the rest goes
};
