#include "unplug_message.h"

#include "app/tandora_qt.h"
#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "firmware/pack_builder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>

namespace {

constexpr uint8_t kWrite = 0x22;

}  // namespace

double seconds_to_message_after_unplug(CPedalEmulator& pedal, CResultPrompt& prompt)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("update.dat");
    QString error;
    if (!write_pack_file(
            path, "10002",
            {{"[FLASH 1]\nTYPE=0\nStart Address=0x40000\nEnd Address=0x100000\nSector Size=0x800\n",
              QByteArray(768 * 1024, '\x3C')}},
            error))
        fail("building the package", error);
    CPedalSession session;
    TandoraQT window(session);
    wait_until_idle(window);
    window.findChild<QCheckBox*>("m_btnSelLocal")->setChecked(true);
    window.findChild<QLineEdit*>("m_editPath")->setText(path);
    pedal.clear_command_log();
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::UNPLUG_AFTER, kWrite, 1));
    prompt.last.clear();
    window.findChild<QPushButton*>("m_btnUpdate")->click();
    // The pedal vanishes as it finishes its first write: the clock starts when the
    // write shows in its log.
    while (pedal.count_commands(EPedalMode::UPDATE, kWrite) == 0 && prompt.last.isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const auto unplugged = std::chrono::steady_clock::now();
    while (prompt.last.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - unplugged).count();
    while (!prompt.last.startsWith(QStringLiteral("Failed!")))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pedal.clear_faults();
    pedal.plug();
    return seconds;
}
