#include "device/rtmidi_backend.h"

#include <RtMidi.h>

#include <utility>

namespace {

// Runs one library call, turning whatever it throws into CMidiError.
template <typename Call>
auto guarded(Call&& call) -> decltype(call())
{
    try {
        return call();
    } catch (const RtMidiError& error) {
        throw CMidiError(error.getMessage());
    } catch (const std::exception& error) {
        throw CMidiError(error.what());
    }
}

// Enumeration, opening and closing, alike in both directions.
template <typename Interface, typename Library>
class CRtMidiPorts : public Interface {
public:
    unsigned int port_count() override
    {
        return guarded([&] { return m_port->getPortCount(); });
    }
    std::string port_name(unsigned int port) override
    {
        return guarded([&] { return m_port->getPortName(port); });
    }
    void open_port(unsigned int port, const std::string& port_name) override
    {
        guarded([&] { m_port->openPort(port, port_name); });
    }
    void close_port() override
    {
        guarded([&] { m_port->closePort(); });
    }
    bool is_port_open() const override { return m_port->isPortOpen(); }

protected:
    // The library object with its default back end; the arguments follow the back end.
    template <typename... Args>
    explicit CRtMidiPorts(const Args&... args)
        : m_port(guarded([&] { return std::make_unique<Library>(RtMidi::UNSPECIFIED, args...); }))
    {
    }

    std::unique_ptr<Library> m_port;
};

class CRtMidiIn final : public CRtMidiPorts<CMidiIn, RtMidiIn> {
public:
    CRtMidiIn(const std::string& client_name, unsigned int queue_limit)
        : CRtMidiPorts(client_name, queue_limit)
    {
    }
    void set_callback(MidiInCallback callback, void* user) override
    {
        // RtMidi refuses a second callback with a warning; the first one stays, as
        // the seam promises.
        if (m_has_callback)
            return;
        guarded([&] { m_port->setCallback(callback, user); });
        m_has_callback = true;
    }
    void ignore_types(bool sysex, bool timing, bool active_sensing) override
    {
        guarded([&] { m_port->ignoreTypes(sysex, timing, active_sensing); });
    }

private:
    bool m_has_callback = false;
};

class CRtMidiOut final : public CRtMidiPorts<CMidiOut, RtMidiOut> {
public:
    explicit CRtMidiOut(const std::string& client_name) : CRtMidiPorts(client_name) {}
    void send_message(const unsigned char* message, size_t size) override
    {
        guarded([&] { m_port->sendMessage(message, size); });
    }
};

class CRtMidiSystem final : public CMidiSystem {
public:
    EMidiApi api() const override { return EMidiApi::RTMIDI; }
    std::unique_ptr<CMidiIn> make_input(const std::string& client_name, unsigned int queue_limit) override
    {
        return std::make_unique<CRtMidiIn>(client_name, queue_limit);
    }
    std::unique_ptr<CMidiOut> make_output(const std::string& client_name) override
    {
        return std::make_unique<CRtMidiOut>(client_name);
    }
};

}  // namespace

CMidiSystem& rtmidi_system()
{
    static CRtMidiSystem system;
    return system;
}
