#include "device/rtmidi_backend.h"

#include "device/jack_service_watch.h"
#include "support/log_file.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <utility>
#include <vector>

namespace {

// alsa-lib writes its complaints (no sequencer on this machine, say) straight to stderr,
// where a terminal user reads them as the program's; they go to the log instead.
void log_alsa_complaint(const char* file, int line, const char* function, int, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "ALSA %s:%d (%s): %s", file, line, function, text);
}

// libjack, like alsa-lib, writes its own complaints (no server running, say) to stderr.
void log_jack_complaint(const char* text)
{
    CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "JACK: %s", text);
}

std::atomic<EMidiHostApi> g_host_api{EMidiHostApi::DEFAULT};

RtMidi::Api library_api(EMidiHostApi api)
{
    switch (api) {
        case EMidiHostApi::ALSA:
            return RtMidi::LINUX_ALSA;
        case EMidiHostApi::JACK:
            return RtMidi::UNIX_JACK;
        case EMidiHostApi::DEFAULT:
            break;
    }
    return RtMidi::UNSPECIFIED;
}

// Swallows what the library writes.
class CDiscard final : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

// RtMidi prints every error to std::cerr before it throws it, from its constructors too,
// where no error callback can be set yet. The text reaches the caller in the exception.
class CQuietLibrary {
public:
    CQuietLibrary() : m_lock(mutex()), m_previous(std::cerr.rdbuf(&m_discard)) {}
    ~CQuietLibrary() { std::cerr.rdbuf(m_previous); }
    CQuietLibrary(const CQuietLibrary&) = delete;
    CQuietLibrary& operator=(const CQuietLibrary&) = delete;

private:
    static std::mutex& mutex()
    {
        static std::mutex shared;
        return shared;
    }
    std::lock_guard<std::mutex> m_lock;
    CDiscard m_discard;
    std::streambuf* m_previous;
};

// Runs one library call, quietly, turning whatever it throws into CMidiError.
template <typename Call>
auto guarded(Call&& call) -> decltype(call())
{
    static std::once_flag services_quieted;
    std::call_once(services_quieted, [] {
        snd_lib_error_set_handler(log_alsa_complaint);
        jack_set_error_function(log_jack_complaint);
        jack_set_info_function(log_jack_complaint);
    });
    const CQuietLibrary quiet;
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
    void open_virtual_port(const std::string& port_name) override
    {
        guarded([&] { m_port->openVirtualPort(port_name); });
    }
    void close_port() override
    {
        guarded([&] { m_port->closePort(); });
    }
    bool is_port_open() const override { return m_port->isPortOpen(); }

protected:
    // The library object on the chosen service; the arguments follow the service.
    template <typename... Args>
    explicit CRtMidiPorts(const Args&... args)
        : m_port(guarded([&] { return std::make_unique<Library>(library_api(g_host_api.load()), args...); }))
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
    EPortNaming port_naming() const override
    {
        return m_port->getCurrentApi() == RtMidi::UNIX_JACK ? EPortNaming::JACK_CLIENTS
                                                            : EPortNaming::EQUAL_NAMES;
    }
    void ignore_types(bool sysex, bool timing, bool active_sensing) override
    {
        guarded([&] { m_port->ignoreTypes(sysex, timing, active_sensing); });
    }
    // Only a JACK server can end while we run.
    void set_service_end_callback(MidiServiceEndCallback callback, void* user) override
    {
        if (m_service_watch || m_port->getCurrentApi() != RtMidi::UNIX_JACK)
            return;
        guarded([&] { m_service_watch = std::make_unique<CJackServiceWatch>(callback, user); });
    }

private:
    bool m_has_callback = false;
    // Closed before the base's library object, so it tells nothing while the library's own
    // client goes.
    std::unique_ptr<CJackServiceWatch> m_service_watch;
};

// RtMidi's JACK output, closed, waits up to a second for a last process cycle, which a
// server that has ended never runs. Such an output is kept unclosed until the process ends
// instead, so a program whose server went away ends at once.
void keep_unclosed(std::unique_ptr<RtMidiOut> port)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<std::unique_ptr<RtMidiOut>>;
    std::lock_guard<std::mutex> lock(mutex);
    kept->push_back(std::move(port));
}

class CRtMidiOut final : public CRtMidiPorts<CMidiOut, RtMidiOut> {
public:
    explicit CRtMidiOut(const std::string& client_name)
        : CRtMidiPorts(client_name), m_server_ends_before(CJackServiceWatch::ends_heard())
    {
    }
    ~CRtMidiOut() override
    {
        if (server_gone())
            keep_unclosed(std::move(m_port));
    }
    // A port of a server that has ended went with it.
    void close_port() override
    {
        if (!server_gone())
            CRtMidiPorts::close_port();
    }
    void send_message(const unsigned char* message, size_t size) override
    {
        guarded([&] { m_port->sendMessage(message, size); });
    }

private:
    bool server_gone() const
    {
        return m_port->getCurrentApi() == RtMidi::UNIX_JACK &&
               CJackServiceWatch::ends_heard() != m_server_ends_before;
    }

    const unsigned int m_server_ends_before;
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

void choose_rtmidi_api(EMidiHostApi api)
{
    g_host_api.store(api);
}

CMidiSystem& rtmidi_system()
{
    static CRtMidiSystem system;
    return system;
}
