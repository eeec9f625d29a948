#pragma once

#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "support/task.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <functional>
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

// A task that keeps each percent its steps reached, in order, and the bytes reported.
// Driven from the thread that runs the work.
class CTaskRecorder {
public:
    CTaskRecorder();
    CTaskRecorder(const CTaskRecorder&) = delete;
    CTaskRecorder& operator=(const CTaskRecorder&) = delete;

    uint64_t bytes() const { return task.progress().bytes_done; }

    CTask task;
    std::vector<int> percents;
};

// The percent step `done` of `total` reaches on a task's default range.
int step_percent(uint64_t done, uint64_t total);

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

struct SNandFlashConfig;
// Programs a record of the current slot format straight into the NAND of `pedal` for
// each slot below `slot_count`: slot i names the `nand.max_song_blocks` blocks from
// i * max_song_blocks on, with no audio written behind them. A pedal whose songs take
// most of its flash, in no time; the store must be loaded again to see them.
void store_full_song_records(CPedalEmulator& pedal, const SNandFlashConfig& nand, unsigned int slot_count);

// The program flash sector at INFO_SECTOR_ADDRESS as a firmware package section would
// bring it: a fixed pattern with the information record at 0x2180 naming `version` and
// `product_id` (third word 0).
constexpr uint32_t INFO_SECTOR_ADDRESS = 0x2000;
constexpr int INFO_SECTOR_SIZE = 0x800;
QByteArray info_record_sector(uint32_t version, uint32_t product_id);

class CMIDITranfer;

// Runs `open` (a link's open, or a session's search) with the link's reply waits on a clock
// that moves only once `pedal` has answered all it was sent: on a busy machine the pedal's
// thread may run after the open's 200 ms probe, which would fail it. The link is back on
// real time afterwards. `open`'s result.
bool open_settled(CMIDITranfer& transfer, CPedalEmulator& pedal, const std::function<bool()>& open);
