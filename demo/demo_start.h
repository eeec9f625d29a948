#pragma once

#include "emulator/demo_pedal.h"

#include <QString>
#include <functional>
#include <memory>

struct SFrontEndOptions;

// What the window and the command-line tool do alike once their options are read, before
// any pedal work.

// The diagnostic lines, the MIDI service and the update server's address, as the options
// say.
void apply_front_end_options(const SFrontEndOptions& options);

// A yes/no question, put to the user the front end's way.
using DemoQuestion = std::function<bool(const QString& title, const QString& text)>;

struct SDemoStart {
    // The demo pedal, plugged in for the object's life; null without --demo.
    std::unique_ptr<CDemoPedal> pedal;
    // The program cannot go on: the reset was declined (`why` is then empty) or the
    // flash file could not be taken (`why` says why).
    bool failed = false;
    QString why;
};

// The demo pedal the options ask for: after `ask` said yes to a reset, when one is asked
// for; a new one gets the starter songs.
[[nodiscard]] SDemoStart start_demo_pedal(const SFrontEndOptions& options, const DemoQuestion& ask);
