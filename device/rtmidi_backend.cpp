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

class CRtMidiIn final : public CMidiIn {
public:
    CRtMidiIn(const std::string& client_name, unsigned int queue_limit)
        : m_in(guarded(
              [&] { return std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, client_name, queue_limit); }))
    {
    }
    unsigned int port_count() override
    {
        return guarded([&] { return m_in->getPortCount(); });
    }
    std::string port_name(unsigned int port) override
    {
        return guarded([&] { return m_in->getPortName(port); });
    }
    void open_port(unsigned int port, const std::string& port_name) override
    {
        guarded([&] { m_in->openPort(port, port_name); });
    }
    void close_port() override
    {
        guarded([&] { m_in->closePort(); });
    }
    bool is_port_open() const override { return m_in->isPortOpen(); }
    void set_callback(MidiInCallback callback, void* user) override
    {
        // RtMidi refuses a second callback with a warning; the first one stays, as
        // the seam promises.
        if (m_has_callback)
            return;
        guarded([&] { m_in->setCallback(callback, user); });
        m_has_callback = true;
    }
    void ignore_types(bool sysex, bool timing, bool active_sensing) override
    {
        guarded([&] { m_in->ignoreTypes(sysex, timing, active_sensing); });
    }

private:
    std::unique_ptr<RtMidiIn> m_in;
    bool m_has_callback = false;
};

class CRtMidiOut final : public CMidiOut {
public:
    explicit CRtMidiOut(const std::string& client_name)
        : m_out(guarded([&] { return std::make_unique<RtMidiOut>(RtMidi::UNSPECIFIED, client_name); }))
    {
    }
    unsigned int port_count() override
    {
        return guarded([&] { return m_out->getPortCount(); });
    }
    std::string port_name(unsigned int port) override
    {
        return guarded([&] { return m_out->getPortName(port); });
    }
    void open_port(unsigned int port, const std::string& port_name) override
    {
        guarded([&] { m_out->openPort(port, port_name); });
    }
    void close_port() override
    {
        guarded([&] { m_out->closePort(); });
    }
    bool is_port_open() const override { return m_out->isPortOpen(); }
    void send_message(const unsigned char* message, size_t size) override
    {
        guarded([&] { m_out->sendMessage(message, size); });
    }

private:
    std::unique_ptr<RtMidiOut> m_out;
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
