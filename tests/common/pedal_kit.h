#pragma once

#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Helpers for tests that run the program's code against emulated pedals.

// A virtual MIDI system installed as the program's for its lifetime, so nothing under
// test reaches for the host's MIDI service. Whatever was installed before comes back.
class CInstalledMidiSystem {
public:
    CInstalledMidiSystem() : m_previous(install_midi_system(&system)) {}
    ~CInstalledMidiSystem() { install_midi_system(m_previous); }
    CInstalledMidiSystem(const CInstalledMidiSystem&) = delete;
    CInstalledMidiSystem& operator=(const CInstalledMidiSystem&) = delete;

    CVirtualMidiSystem system;

private:
    CMidiSystem* m_previous;
};

// The port word (output position << 16 | input position) of the `which`-th input and
// output ports named `name`, as the device link opens them. Throws std::runtime_error
// when there is no such pair.
[[nodiscard]] unsigned int pedal_port_word(CMidiSystem& system, const std::string& name,
                                           unsigned int which = 0);

// The update-mode requests in `pedal`'s log with the command byte `command` (every one
// for -1), oldest first, once the pedal has handled all it was sent.
std::vector<SPedalCommandRecord> update_commands(CPedalEmulator& pedal, int command = -1);

// Records the progress events (done, total) posted to it.
class CProgressRecorder : public QObject {
public:
    std::vector<std::pair<uint64_t, uint64_t>> events;

protected:
    void customEvent(QEvent* event) override;
};

// Collects the Qt debug output of every thread for its lifetime; one at a time.
class CDebugCapture {
public:
    CDebugCapture();
    ~CDebugCapture();
    CDebugCapture(const CDebugCapture&) = delete;
    CDebugCapture& operator=(const CDebugCapture&) = delete;

    QStringList lines() const;
    // True when a line equals `text`, surrounding white space (the trailing newline of a
    // debug text) aside.
    bool contains(const QString& text) const;

private:
    QtMessageHandler m_previous;
};

// Records of the log file: how many there are, and those after the first `before`.
int log_line_count();
QStringList log_lines_after(int before);
