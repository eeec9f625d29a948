#include "emulator/demo_pedal.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// The demo pedal's firmware, as its title shows it.
constexpr uint32_t kDemoFirmware = 0x010203;

}  // namespace

CDemoPedal::CDemoPedal(const SSettings& settings)
    : m_settings(settings), m_file(settings.flash_path, settings.open_file)
{
    m_previous_midi = install_midi_system(&m_midi);
    SPedalConfig config;
    config.product_id = settings.product_id;
    config.firmware_version = kDemoFirmware;
    config.plugged = false;
    if (settings.realistic)
        config.timing = SPedalTiming::realistic();
    m_pedal = std::make_unique<CPedalEmulator>(m_midi, config);
}

CDemoPedal::~CDemoPedal()
{
    m_pedal.reset();
    install_midi_system(m_previous_midi);
}

QString CDemoPedal::default_flash_path(uint32_t product_id)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/demo-pedal-%1.flash").arg(product_id, 4, 16, QLatin1Char('0'));
}

EDemoFlashResult CDemoPedal::start(const std::function<void()>& prepare_new)
{
    QDir().mkpath(QFileInfo(m_settings.flash_path).absolutePath());
    EDemoFlashResult result = m_file.lock();
    if (result != EDemoFlashResult::OK)
        return result;
    if (m_settings.reset) {
        result = m_file.remove();
        if (result != EDemoFlashResult::OK)
            return result;
    }
    result = m_file.open(*m_pedal);
    if (result != EDemoFlashResult::OK && result != EDemoFlashResult::NO_FILE)
        return result;
    m_new = result == EDemoFlashResult::NO_FILE;
    m_pedal->plug();
    if (m_new && prepare_new) {
        // Preparing the demo need not wait at a real pedal's pace.
        const SPedalTiming paced = m_pedal->timing();
        m_pedal->set_timing(SPedalTiming{});
        prepare_new();
        m_pedal->set_timing(paced);
    }
    return result;
}
