#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The seam between the device link and the host's MIDI service. The program uses the
// RtMidi backend; tests and the pedal emulator use the in-process virtual backend. Both
// enumerate ports by position, deliver each received message whole, and report failures
// by throwing CMidiError, as the MIDI library does.
//
// Delivery may be re-entrant. RtMidi calls the input's callback on a thread of its own; the
// virtual backend does so too, except for an emulated device that answers at once: its
// reply reaches the callback inside the host's own send_message, on the sending thread,
// which saves two thread hand-offs per message. So a callback must not take a lock that
// its thread may hold while it sends, nor send itself on the output being sent on. For a
// given input, the callback runs on one thread at a time, and the threads it moves between
// are ordered, so a ring with one writer and one reader stays sound.

class CMidiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the user is told when the computer's MIDI service cannot be reached, in the
// program's own words; the library's text is for the log (log_midi_failure).
QString midi_unreachable_text();
void log_midi_failure(const CMidiError& error);
// What the user is told when the MIDI service went away during work (a JACK server that
// was stopped): "The MIDI service stopped."
QString midi_service_stopped_text();

enum class EMidiApi { RTMIDI, VIRTUAL };

// The host MIDI service the RtMidi backend speaks to. DEFAULT lets the library pick the
// first service that shows ports (ALSA before JACK on Linux).
enum class EMidiHostApi { DEFAULT, ALSA, JACK };

// "alsa" or "jack"; nullopt for anything else.
std::optional<EMidiHostApi> midi_host_api_from_name(const QString& name);

// How a service lists the two ports of one device.
enum class EPortNaming {
    // An input and an output port of exactly the same name (ALSA, CoreMIDI, the virtual
    // service).
    EQUAL_NAMES,
    // "client:port", where every client has one port: a device's two ports carry the same
    // port name under client names that differ only by JACK's "-NN" suffix.
    JACK_CLIENTS,
};

// Called with one complete message, on the backend's receiving thread or inside a send
// (see above).
using MidiInCallback = void (*)(double timestamp, std::vector<unsigned char>* message, void* user);
// Called once, from any thread, when the service an input was made on has stopped: no
// message comes any more, and the ports made on it are dead.
using MidiServiceEndCallback = void (*)(void* user);

class CMidiIn {
public:
    virtual ~CMidiIn() = default;
    virtual unsigned int port_count() = 0;
    virtual std::string port_name(unsigned int port) = 0;
    virtual void open_port(unsigned int port, const std::string& port_name) = 0;
    // A port of this client's own that other programs see and open; throws CMidiError
    // where the service offers none.
    virtual void open_virtual_port(const std::string& port_name);
    virtual void close_port() = 0;
    virtual bool is_port_open() const = 0;
    // How the service names the ports this input enumerates.
    virtual EPortNaming port_naming() const { return EPortNaming::EQUAL_NAMES; }
    // Registered once; later registrations are ignored, as the library keeps the first.
    virtual void set_callback(MidiInCallback callback, void* user) = 0;
    virtual void ignore_types(bool sysex, bool timing, bool active_sensing) = 0;
    // Registered once; later registrations are ignored. A service that was already gone is
    // told at once. A service that cannot stop while the program runs (ALSA's sequencer,
    // part of the kernel) never calls it, which is all the default does.
    virtual void set_service_end_callback(MidiServiceEndCallback callback, void* user);
};

class CMidiOut {
public:
    virtual ~CMidiOut() = default;
    virtual unsigned int port_count() = 0;
    virtual std::string port_name(unsigned int port) = 0;
    virtual void open_port(unsigned int port, const std::string& port_name) = 0;
    virtual void open_virtual_port(const std::string& port_name);
    virtual void close_port() = 0;
    virtual bool is_port_open() const = 0;
    virtual void send_message(const unsigned char* message, size_t size) = 0;
};

class CMidiSystem {
public:
    virtual ~CMidiSystem() = default;
    virtual EMidiApi api() const = 0;
    // May throw CMidiError (for RtMidi: no MIDI service reachable).
    virtual std::unique_ptr<CMidiIn> make_input(const std::string& client_name, unsigned int queue_limit) = 0;
    virtual std::unique_ptr<CMidiOut> make_output(const std::string& client_name) = 0;
};

// The backend in force: RtMidi unless another one is installed. Safe to call from any thread.
CMidiSystem& midi_system();

// Installs `system` (not owned; null restores RtMidi) and returns the previous one.
CMidiSystem* install_midi_system(CMidiSystem* system);
