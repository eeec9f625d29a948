#include "reply_wait_wakeups.h"

#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// 3 s: long enough that the few switches of sending the request do not count.
constexpr unsigned int kWaitMs = 3000;

// Voluntary and involuntary context switches of every thread of the process so far.
long long process_switches()
{
    long long sum = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                sum += std::stoll(line.substr(line.find(':') + 1));
        }
    }
    return sum;
}

}  // namespace

void print_reply_wait_wakeups()
{
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    {
        CPedalEmulator pedal(system);
        CUSBConnect link;
        if (!link.open(0, true)) {
            std::printf("idle wakeups per s while waiting: no pedal\n");
            install_midi_system(previous);
            return;
        }
        pedal.add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, 0x21));
        pedal.wait_until_idle();
        const long long before = process_switches();
        const auto start = std::chrono::steady_clock::now();
        int status = -1;
        const bool answered =
            link.send_flash_erase_request(FLASH_TYPE_NAND, 0) && link.get_responds_responds(status, kWaitMs);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const long long switches = process_switches() - before;
        if (answered)
            std::printf("idle wakeups per s while waiting: the pedal answered\n");
        else
            std::printf("idle wakeups per s while waiting: %.1f\n", switches / seconds);
    }
    install_midi_system(previous);
}
