// Firmware update figures through the main window against the pedal emulator, with no
// added latency: a 768 KiB program-flash section and an 8 MiB NAND section, each from a
// local package, in MB per second of image from the Update click to the result message,
// and the flash commands the NAND section costs per MiB.
#include "app/tandora_qt.h"
#include "bench_kit.h"
#include "connect_stall.h"
#include "core/online/update_server.h"
#include "core/pedal_session.h"
#include "download_peak.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "firmware/pack_builder.h"
#include "gui_stall.h"
#include "play_start.h"
#include "reload_cost.h"
#include "reply_wait_wakeups.h"
#include "unplug_message.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double MB = 1048576.0;

QByteArray noise(int size)
{
    QByteArray bytes(size, '\0');
    uint32_t state = 0x12345678;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Seconds from the Update click to its result, which must be "Successful!".
double update_seconds(TandoraQT& window, CResultPrompt& prompt, const QString& package)
{
    window.findChild<QCheckBox*>("m_btnSelLocal")->setChecked(true);
    window.findChild<QLineEdit*>("m_editPath")->setText(package);
    prompt.last.clear();
    const auto start = std::chrono::steady_clock::now();
    window.findChild<QPushButton*>("m_btnUpdate")->click();
    wait_for_result(prompt, "Successful!");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    // No server: the figures are the pedal link's, not a network's.
    UPDATE_SERVER::set_base("http://127.0.0.1:9");
    CResultPrompt prompt;
    install_user_prompt(&prompt);
    CVirtualMidiSystem system;
    install_midi_system(&system);
    SPedalConfig config;
    config.product_id = 0x2712;
    CPedalEmulator pedal(system, config);
    QTemporaryDir folder;

    const int systemSize = 768 * 1024;
    const int nandSize = 8 * 1024 * 1024;
    const QString systemPackage = folder.filePath("system.dat");
    const QString nandPackage = folder.filePath("nand.dat");
    QString error;
    const std::vector<SPackSection> systemSections = {
        {"[FLASH 1]\nTYPE=0\nStart Address=0x40000\nEnd Address=0x100000\nSector Size=0x800\n",
         noise(systemSize)}};
    const std::vector<SPackSection> nandSections = {
        {"[FLASH 1]\nTYPE=1\nStart Address=0x4000000\nEnd Address=0x5000000\nSector Size=0x40000\n",
         noise(nandSize)}};
    if (!write_pack_file(systemPackage, "10002", systemSections, error) ||
        !write_pack_file(nandPackage, "10002", nandSections, error))
        fail("building the packages", error);

    {
        CPedalSession session;
        TandoraQT window(session);
        wait_until_idle(window);
        const double systemSeconds = update_seconds(window, prompt, systemPackage);
        pedal.clear_command_log();
        const double nandSeconds = update_seconds(window, prompt, nandPackage);
        const double commands = static_cast<double>(pedal.command_log().size());

        std::printf("program flash update MB/s: %.1f\n", systemSize / MB / systemSeconds);
        std::printf("NAND update MB/s: %.1f\n", nandSize / MB / nandSeconds);
        std::printf("NAND update commands per MiB: %.0f\n", commands / (nandSize / MB));
    }
    std::printf("max gui stall ms: %.1f\n", max_gui_stall_ms(pedal, prompt));
    std::printf("reload round trips after import: %.0f\n", reload_round_trips_after_import(pedal));
    std::printf("seconds to message after unplug during firmware update: %.2f\n",
                seconds_to_message_after_unplug(pedal, prompt));
    std::printf("max gui stall ms at connect: %.1f\n", max_gui_stall_ms_at_connect(pedal));
    std::printf("play start ms realistic link: %.0f\n", play_start_ms(pedal));
    print_download_peak();
    print_reply_wait_wakeups();
    install_midi_system(nullptr);
    install_user_prompt(nullptr);
    return 0;
}
