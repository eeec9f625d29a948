#include "emulator/pedal_emulator.h"

#include "emulator/pedal_wire.h"

#include <algorithm>
#include <stdexcept>

CPedalEmulator::CPedalEmulator(CVirtualMidiSystem& system, const SPedalConfig& config)
    : m_system(system),
      m_model(pedal_model(config.product_id)),
      m_port_name(config.port_name.empty() ? m_model.name : config.port_name),
      m_program_flash(config.program_flash.value_or(pedal_program_flash_geometry())),
      m_nand(config.nand.value_or(m_model.nand)),
      m_mode(config.boot_mode),
      m_boot_mode(config.boot_mode),
      m_link(config.timing),
      m_worker([this](SRequest& request) { handle(request.message, request.arrival); })
{
    set_device_info(config.firmware_version, config.product_id, config.third_word);
    if (config.application_installed) {
        const uint8_t image[] = {'T', 'a', 'n', 'd', 'o', 'r', 'a', ' ', 'a', 'p', 'p'};
        if (!m_program_flash.program(PEDAL_APPLICATION_START, image, sizeof image))
            throw std::invalid_argument("the program flash does not reach the application area");
    }
    m_mode = power_up_mode();
    if (config.plugged)
        plug();
}

CPedalEmulator::~CPedalEmulator()
{
    unplug();
    m_worker.stop();
}

// Registering the ports under the lock: a host that sees them at once and sends gets its
// request answered, because the worker finds the device id already set.
void CPedalEmulator::plug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device)
        return;
    m_powered = true;
    m_power_cut = {};
    m_mode = power_up_mode();
    m_replug_requested = false;
    m_device = m_system.plug_device(m_port_name,
                                    [this](const std::vector<unsigned char>& message) { receive(message); });
}

// The system waits for a request being handed over to return, and that hand-over takes
// our lock, so the system is called without it.
void CPedalEmulator::unplug()
{
    std::optional<CVirtualMidiSystem::DeviceId> device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device.swap(m_device);
    }
    m_worker.clear();
    if (device)
        m_system.unplug(*device);
}

bool CPedalEmulator::is_plugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.has_value();
}

EPedalMode CPedalEmulator::mode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mode;
}

void CPedalEmulator::set_mode(EPedalMode mode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mode = mode;
}

void CPedalEmulator::set_boot_mode(EPedalMode mode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boot_mode = mode;
}

bool CPedalEmulator::replug_requested() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_replug_requested;
}

void CPedalEmulator::set_device_info(uint32_t version, uint32_t product_id, uint32_t third_word)
{
    const uint32_t sector_size = m_program_flash.geometry().erase_unit_size;
    const uint32_t sector = PEDAL_DEVICE_INFO_ADDRESS / sector_size * sector_size;
    auto bytes = m_program_flash.read(sector, sector_size);
    if (bytes.empty())
        throw std::invalid_argument("the program flash does not reach the device information record");
    std::vector<uint8_t> record;
    pedal_wire::put_le(record, version, 4);
    pedal_wire::put_le(record, product_id, 4);
    pedal_wire::put_le(record, third_word, 4);
    pedal_wire::put_le(record, 0, 4);
    std::copy(record.begin(), record.end(), bytes.begin() + (PEDAL_DEVICE_INFO_ADDRESS - sector));
    if (!m_program_flash.erase(sector) || !m_program_flash.program(sector, bytes.data(), sector_size))
        throw std::logic_error("rewriting the device information record failed");
}

void CPedalEmulator::add_fault(const SPedalFault& fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back({fault, 0});
}

void CPedalEmulator::clear_faults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

std::optional<SPedalFault> CPedalEmulator::take_fault(EPedalMode mode, uint8_t command, uint32_t address)
{
    // A fault added while the request was already being answered inside the send waits for
    // the next request: an unplug or a delay there would deadlock or block the sender.
    if (m_in_send)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::optional<SPedalFault> fired;
    for (auto& slot : m_faults) {
        if (slot.fault.mode != mode || (slot.fault.command >= 0 && slot.fault.command != command) ||
            address < slot.fault.first_address || address > slot.fault.last_address)
            continue;
        ++slot.seen;
        if (!fired && (slot.fault.occurrence == 0 || slot.fault.occurrence == slot.seen))
            fired = slot.fault;
    }
    return fired;
}

void CPedalEmulator::cut_power_at_flash_operation(unsigned n, EPowerCutEffect effect, uint32_t written)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_power_cut = {n, effect, written};
}

bool CPedalEmulator::is_powered() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_powered;
}

void CPedalEmulator::power_cycle()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_powered = true;
    m_power_cut = {};
    m_mode = power_up_mode();
    m_worker.clear();
}

EPedalMode CPedalEmulator::power_up_mode() const
{
    if (m_replug_requested || m_boot_mode == EPedalMode::UPDATE)
        return EPedalMode::UPDATE;
    const uint32_t sector_size = m_program_flash.geometry().erase_unit_size;
    const std::vector<uint8_t> sector = m_program_flash.read(PEDAL_APPLICATION_START, sector_size);
    const bool present = std::any_of(sector.begin(), sector.end(), [](uint8_t byte) { return byte != 0xFF; });
    return present ? EPedalMode::APP : EPedalMode::UPDATE;
}

void CPedalEmulator::set_reply_latency(std::chrono::microseconds latency)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latency = latency;
}

CPedalEmulator::EFlashOutcome CPedalEmulator::flash_operation(CEmulatedFlash& flash, bool erase,
                                                              uint32_t address, const uint8_t* data,
                                                              uint32_t length)
{
    SPowerCut power_cut;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool cut = m_power_cut.remaining > 0 && --m_power_cut.remaining == 0;
        if (!cut) {
            const bool done = erase ? flash.erase(address) : flash.program(address, data, length);
            return done ? EFlashOutcome::DONE : EFlashOutcome::FAILED;
        }
        power_cut = m_power_cut;
        m_powered = false;
    }
    m_worker.clear();
    if (power_cut.effect == EPowerCutEffect::PARTLY_DONE) {
        const uint32_t written =
            power_cut.written == HALF_OF_THE_WRITE ? length / 2 : std::min(power_cut.written, length);
        static_cast<void>(erase ? flash.erase_half_way(address) : flash.program(address, data, written));
    }
    return EFlashOutcome::POWER_CUT;
}

void CPedalEmulator::record(const SPedalCommandRecord& entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.push_back(entry);
}

std::vector<SPedalCommandRecord> CPedalEmulator::command_log() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

size_t CPedalEmulator::count_commands(EPedalMode mode, uint8_t command) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(std::count_if(
        m_log.begin(), m_log.end(),
        [&](const SPedalCommandRecord& entry) { return entry.mode == mode && entry.command == command; }));
}

void CPedalEmulator::clear_command_log()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

// Runs on the host's sending thread, at the moment the host sends, under the device's
// sink lock: one request at a time comes through here.
void CPedalEmulator::receive(const std::vector<unsigned char>& message)
{
    LinkClock::time_point arrival;
    bool instant;
    {
        std::lock_guard<std::mutex> lock(m_link_mutex);
        arrival = m_link.request_arrival(LinkClock::now(), message.size());
        instant = m_link.timing().instant;
    }
    if (!instant || !answers_in_send()) {
        static_cast<void>(m_worker.push({message, arrival}));
        return;
    }
    m_in_send = true;
    handle(message, arrival);
    m_in_send = false;
}

// The worker's queue and the system's delivery must be through first: the host's ring takes
// its bytes from one thread at a time, and a late reply of the worker's must not overtake.
bool CPedalEmulator::answers_in_send()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_latency.count() != 0 || !m_faults.empty() || m_power_cut.remaining != 0)
            return false;
    }
    return m_worker.is_idle() && m_system.delivery_idle();
}

void CPedalEmulator::wait_until_idle()
{
    m_worker.wait_until_idle();
    m_system.wait_until_delivered();
}

// Runs on the pedal's thread or inside the host's send. A pedal without power hears nothing.
void CPedalEmulator::handle(const std::vector<unsigned char>& message, LinkClock::time_point arrival)
{
    EPedalMode mode;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_powered)
            return;
        mode = m_mode;
    }
    m_arrival = arrival;
    m_work = LinkDuration{0};
    m_work_end.reset();
    if (mode == EPedalMode::UPDATE)
        handle_update(message);
    else
        handle_app(message);
    std::lock_guard<std::mutex> lock(m_link_mutex);
    work_end();
}
