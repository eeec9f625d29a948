#pragma once

#include "device/midi_system.h"

#include <atomic>
#include <memory>
#include <string>

// CPortBridge: a device's two ports on one MIDI system (the emulated pedal's, on the
// in-process virtual system) carried over to a pair of ports of this program's own on
// another (the host's service, through RtMidi), so programs there see the device itself.
// Messages cross whole, in order, each on the delivering system's thread. The constructor
// throws CMidiError when either side cannot open its ports.
class CPortBridge {
public:
    // `device_port`: the device's port name on `device_side`; the new ports on `host_side`
    // carry the same name, as do their clients.
    CPortBridge(CMidiSystem& device_side, const std::string& device_port, CMidiSystem& host_side);
    ~CPortBridge();
    CPortBridge(const CPortBridge&) = delete;
    CPortBridge& operator=(const CPortBridge&) = delete;

    // The host's service has stopped: its ports are gone and the device is cut off.
    bool host_service_stopped() const { return m_host_stopped.load(); }

private:
    // The callback's user: it outlives its input, as both die with the bridge.
    struct SDirection {
        std::unique_ptr<CMidiOut> to;
        std::unique_ptr<CMidiIn> from;
    };
    static void forward(double, std::vector<unsigned char>* message, void* user);
    static void host_service_ended(void* bridge);
    void connect(SDirection& direction);

    SDirection m_to_host;    // from the device's source to our port on the host's service
    SDirection m_to_device;  // from our port on the host's service to the device's destination
    std::atomic<bool> m_host_stopped{false};
};
