#include "emulator/virtual_midi_system.h"

#include "emulator/virtual_midi_state.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Status bytes filtered by ignore_types: sysex; MIDI time code and timing clock; active sensing.
bool is_filtered(const CVirtualMidiSystem::SInputState& input, unsigned char status)
{
    if (status == 0xF0)
        return input.ignore_sysex;
    if (status == 0xF1 || status == 0xF8)
        return input.ignore_timing;
    if (status == 0xFE)
        return input.ignore_sensing;
    return false;
}

}  // namespace

// Enumeration of the system's sources (Source true) or destinations, shared by both directions.
template <typename Interface, bool Source>
class CVirtualPorts : public Interface {
public:
    explicit CVirtualPorts(CVirtualMidiSystem& system) : m_system(system) {}

    unsigned int port_count() override
    {
        return Source ? m_system.source_count() : m_system.destination_count();
    }

    // Empty for a position with no port, as the library answers.
    std::string port_name(unsigned int port) override
    {
        std::string name;
        m_system.find_port(Source, port, &name);
        return name;
    }

protected:
    // The device at `port`; throws the library's text when there is none.
    std::shared_ptr<CVirtualMidiSystem::SDevice> device_at(unsigned int port) const
    {
        auto device = m_system.find_port(Source, port, nullptr);
        if (!device)
            throw CMidiError(std::string(Source ? "MidiInVirtual" : "MidiOutVirtual") +
                             "::openPort: the 'portNumber' argument (" + std::to_string(port) +
                             ") is invalid.");
        return device;
    }

    CVirtualMidiSystem& m_system;
};

class CVirtualMidiIn : public CVirtualPorts<CMidiIn, true> {
public:
    explicit CVirtualMidiIn(CVirtualMidiSystem& system)
        : CVirtualPorts(system), m_state(std::make_shared<CVirtualMidiSystem::SInputState>())
    {
        m_state->generation = system.generation();
    }
    ~CVirtualMidiIn() override
    {
        close_port();
        m_system.unwatch_service(m_state);
    }

    // Opening an input that is already open keeps the existing connection, as the library does.
    void open_port(unsigned int port, const std::string&) override
    {
        if (m_open)
            return;
        m_system.subscribe(device_at(port)->id, m_state);
        m_open = true;
    }

    void close_port() override
    {
        if (!m_open)
            return;
        m_system.unsubscribe(m_state);
        m_open = false;
    }

    bool is_port_open() const override { return m_open; }

    void set_callback(MidiInCallback callback, void* user) override
    {
        std::lock_guard<std::mutex> lock(m_state->callback_mutex);
        if (m_state->callback)
            return;
        m_state->callback = callback;
        m_state->user = user;
    }

    void ignore_types(bool sysex, bool timing, bool active_sensing) override
    {
        std::lock_guard<std::mutex> lock(m_state->callback_mutex);
        m_state->ignore_sysex = sysex;
        m_state->ignore_timing = timing;
        m_state->ignore_sensing = active_sensing;
    }

    void set_service_end_callback(MidiServiceEndCallback callback, void* user) override
    {
        {
            std::lock_guard<std::mutex> lock(m_state->callback_mutex);
            if (m_state->end_callback)
                return;
            m_state->end_callback = callback;
            m_state->end_user = user;
        }
        m_system.watch_service(m_state);
    }

private:
    std::shared_ptr<CVirtualMidiSystem::SInputState> m_state;
    bool m_open = false;
};

class CVirtualMidiOut : public CVirtualPorts<CMidiOut, false> {
public:
    explicit CVirtualMidiOut(CVirtualMidiSystem& system)
        : CVirtualPorts(system), m_generation(system.generation())
    {
    }

    void open_port(unsigned int port, const std::string&) override
    {
        if (m_destination)
            return;
        m_destination = device_at(port);
    }

    void close_port() override { m_destination.reset(); }
    bool is_port_open() const override { return m_destination != nullptr; }

    void send_message(const unsigned char* message, size_t size) override
    {
        if (!m_destination)
            throw CMidiError("MidiOutVirtual::sendMessage: no port is open.");
        if (m_generation != m_system.generation())
            throw CMidiError("MidiOutVirtual::sendMessage: the MIDI service has stopped.");
        if (size == 0)
            return;
        const std::vector<unsigned char> copy(message, message + size);
        std::lock_guard<std::mutex> lock(m_destination->sink_mutex);
        if (!m_destination->alive)
            throw CMidiError("MidiOutVirtual::sendMessage: the destination has been removed.");
        m_destination->sink(copy);
    }

private:
    std::shared_ptr<CVirtualMidiSystem::SDevice> m_destination;
    const unsigned int m_generation;
};

CVirtualMidiSystem::CVirtualMidiSystem() : m_delivery([this](SQueued& item) { deliver(item); }) {}

CVirtualMidiSystem::~CVirtualMidiSystem()
{
    m_delivery.stop();
    std::vector<std::shared_ptr<SDevice>> devices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        devices.swap(m_devices);
    }
    for (const auto& device : devices) {
        std::lock_guard<std::mutex> lock(device->sink_mutex);
        device->alive = false;
        device->sink = nullptr;
    }
}

std::unique_ptr<CMidiIn> CVirtualMidiSystem::make_input(const std::string&, unsigned int)
{
    check_reachable();
    return std::make_unique<CVirtualMidiIn>(*this);
}

std::unique_ptr<CMidiOut> CVirtualMidiSystem::make_output(const std::string&)
{
    check_reachable();
    return std::make_unique<CVirtualMidiOut>(*this);
}

CVirtualMidiSystem::DeviceId CVirtualMidiSystem::add_device(const std::string& name, bool has_source,
                                                            Sink sink)
{
    auto device = std::make_shared<SDevice>();
    device->name = name;
    device->has_source = has_source;
    device->has_destination = static_cast<bool>(sink);
    device->sink = std::move(sink);
    std::lock_guard<std::mutex> lock(m_mutex);
    device->id = m_next_id++;
    m_devices.push_back(device);
    return device->id;
}

CVirtualMidiSystem::DeviceId CVirtualMidiSystem::plug_device(const std::string& name, Sink sink)
{
    if (!sink)
        throw std::invalid_argument("plug_device needs a sink for the device's destination");
    return add_device(name, true, std::move(sink));
}

CVirtualMidiSystem::DeviceId CVirtualMidiSystem::add_source(const std::string& name)
{
    return add_device(name, true, nullptr);
}

CVirtualMidiSystem::DeviceId CVirtualMidiSystem::add_destination(const std::string& name, Sink sink)
{
    if (!sink)
        throw std::invalid_argument("add_destination needs a sink");
    return add_device(name, false, std::move(sink));
}

void CVirtualMidiSystem::unplug(DeviceId device_id)
{
    std::shared_ptr<SDevice> device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                     [device_id](const auto& d) { return d->id == device_id; });
        if (it == m_devices.end())
            return;
        device = *it;
        m_devices.erase(it);
    }
    std::lock_guard<std::mutex> lock(device->sink_mutex);
    device->alive = false;
    device->sink = nullptr;
}

bool CVirtualMidiSystem::is_plugged(DeviceId device_id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [device_id](const auto& d) { return d->id == device_id; });
}

bool CVirtualMidiSystem::has_source(DeviceId device_id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [device_id](const auto& d) { return d->id == device_id && d->has_source; });
}

bool CVirtualMidiSystem::send_to_host(DeviceId device_id, std::vector<unsigned char> message)
{
    return has_source(device_id) && m_delivery.push({device_id, std::move(message)});
}

bool CVirtualMidiSystem::deliver_to_host(DeviceId device_id, std::vector<unsigned char> message)
{
    if (!has_source(device_id))
        return false;
    SQueued item{device_id, std::move(message)};
    deliver(item);
    return true;
}

bool CVirtualMidiSystem::delivery_idle()
{
    return m_delivery.is_idle();
}

void CVirtualMidiSystem::wait_until_delivered()
{
    m_delivery.wait_until_idle();
}

unsigned int CVirtualMidiSystem::source_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<unsigned int>(
        std::count_if(m_devices.begin(), m_devices.end(), [](const auto& d) { return d->has_source; }));
}

unsigned int CVirtualMidiSystem::destination_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<unsigned int>(
        std::count_if(m_devices.begin(), m_devices.end(), [](const auto& d) { return d->has_destination; }));
}

std::shared_ptr<CVirtualMidiSystem::SDevice> CVirtualMidiSystem::find_port(bool source, unsigned int position,
                                                                           std::string* name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned int seen = 0;
    for (const auto& device : m_devices) {
        if (source ? !device->has_source : !device->has_destination)
            continue;
        if (seen++ == position) {
            if (name)
                *name = device->name;
            return device;
        }
    }
    return nullptr;
}

void CVirtualMidiSystem::subscribe(DeviceId source, const std::shared_ptr<SInputState>& input)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_inputs.begin(), m_inputs.end(), input) == m_inputs.end())
            m_inputs.push_back(input);
    }
    std::lock_guard<std::mutex> lock(input->callback_mutex);
    input->source = source;
}

// Never holds the system's lock and a callback lock at once: a callback may call back into
// the system (counting ports, say) while the delivery thread holds its callback lock.
void CVirtualMidiSystem::unsubscribe(const std::shared_ptr<SInputState>& input)
{
    {
        std::lock_guard<std::mutex> lock(input->callback_mutex);
        input->source = 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inputs.erase(std::remove(m_inputs.begin(), m_inputs.end(), input), m_inputs.end());
}

// Runs on the delivery thread, or on a device's sending thread (deliver_to_host).
void CVirtualMidiSystem::deliver(SQueued& item)
{
    std::vector<std::shared_ptr<SInputState>> inputs;
    unsigned int generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        inputs = m_inputs;
        generation = m_generation;
    }
    for (const auto& input : inputs) {
        std::lock_guard<std::mutex> callback_lock(input->callback_mutex);
        if (input->generation != generation || input->source != item.source || !input->callback ||
            item.message.empty() || is_filtered(*input, item.message.front()))
            continue;
        const auto now = std::chrono::steady_clock::now();
        const double delta =
            input->delivered_before ? std::chrono::duration<double>(now - input->last_delivery).count() : 0.0;
        input->delivered_before = true;
        input->last_delivery = now;
        // The last input may have the queued bytes themselves: no one reads them after it.
        std::vector<unsigned char> message =
            &input == &inputs.back() ? std::move(item.message) : item.message;
        input->callback(delta, &message, input->user);
    }
}
