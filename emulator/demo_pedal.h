#pragma once

#include "emulator/demo_flash_file.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// The pedal of the demo mode: an emulated pedal on a virtual MIDI system that is installed
// as the program's for the object's life, so the program finds it as it would a real one.
// Its flash lives in one file per model, written as the pedal works and locked while a
// program uses it.
class CDemoPedal {
public:
    struct SSettings {
        uint32_t product_id = 0x2712;
        // Paced like a real pedal on USB-MIDI full speed; instant otherwise.
        bool realistic = true;
        // Starts afresh, forgetting the songs of earlier runs.
        bool reset = false;
        QString flash_path = default_flash_path(product_id);
        PageFileOpener open_file = open_page_file;

        static SSettings of(uint32_t product_id, bool instant, bool reset)
        {
            SSettings settings;
            settings.product_id = product_id;
            settings.realistic = !instant;
            settings.reset = reset;
            settings.flash_path = default_flash_path(product_id);
            return settings;
        }
    };

    explicit CDemoPedal(const SSettings& settings);
    // Gives the program its MIDI system back.
    ~CDemoPedal();
    CDemoPedal(const CDemoPedal&) = delete;
    CDemoPedal& operator=(const CDemoPedal&) = delete;

    // Takes the flash file and opens it, or starts afresh. OK or NO_FILE: the pedal is
    // plugged in; a new pedal (no songs of earlier runs) is handed to `prepare_new` first,
    // paced instantly. Anything else (IN_USE: another program has it) leaves it unplugged.
    [[nodiscard]] EDemoFlashResult start(const std::function<void()>& prepare_new = {});
    // The pedal came without songs of an earlier run: a new demo pedal.
    bool is_new() const { return m_new; }

    CPedalEmulator& pedal() { return *m_pedal; }
    // In the user's data folder, shared by the window and the command-line tool; one file
    // per product ID, so each model keeps its own songs.
    static QString default_flash_path(uint32_t product_id);

private:
    SSettings m_settings;
    CVirtualMidiSystem m_midi;
    CMidiSystem* m_previous_midi = nullptr;
    std::unique_ptr<CPedalEmulator> m_pedal;
    CDemoFlashFile m_file;
    bool m_new = false;
};
