#include "virtual_pedal/port_bridge.h"

#include "emulator/host_port_pair.h"

CPortBridge::CPortBridge(CMidiSystem& device_side, const std::string& device_port, CMidiSystem& host_side)
{
    m_to_device.to = device_side.make_output("Tandora pedal bridge");
    m_to_device.to->open_port(find_port_named(*m_to_device.to, device_port), "Tandora pedal bridge");
    m_to_host.from = device_side.make_input("Tandora pedal bridge", 100);
    m_to_host.from->open_port(find_port_named(*m_to_host.from, device_port), "Tandora pedal bridge");
    // Our input first: the host's service names the device's input port after the device
    // and, where client names must be unique, the output one after it with a suffix.
    m_to_device.from = host_side.make_input(device_port, 100);
    m_to_device.from->set_service_end_callback(&CPortBridge::host_service_ended, this);
    m_to_device.from->open_virtual_port(device_port);
    m_to_host.to = host_side.make_output(device_port);
    m_to_host.to->open_virtual_port(device_port);
    connect(m_to_host);
    connect(m_to_device);
}

CPortBridge::~CPortBridge()
{
    // Inputs first, so that no callback sends through an output already closed.
    m_to_device.from->close_port();
    m_to_host.from->close_port();
}

void CPortBridge::connect(SDirection& direction)
{
    direction.from->set_callback(&CPortBridge::forward, &direction);
    direction.from->ignore_types(false, true, true);
}

void CPortBridge::forward(double, std::vector<unsigned char>* message, void* user)
{
    try {
        static_cast<SDirection*>(user)->to->send_message(message->data(), message->size());
    } catch (const CMidiError&) {
        // Lost, as on a wire whose far end is gone; the owner sees the device unplugged.
    }
}

void CPortBridge::host_service_ended(void* bridge)
{
    static_cast<CPortBridge*>(bridge)->m_host_stopped.store(true);
}
