#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"

#include <algorithm>

namespace {

constexpr uint8_t CMD_STATUS = 0x00;
constexpr uint8_t CMD_QUERY_NAME_AND_VERSION = 0x11;
constexpr uint8_t CMD_ERASE = 0x21;
constexpr uint8_t CMD_WRITE = 0x22;
constexpr uint8_t CMD_READ = 0x23;
constexpr uint8_t CMD_CHECKSUM = 0x24;
constexpr uint8_t CMD_MODE_CHANGE = 0x50;

constexpr uint8_t STATUS_DONE = 0;
constexpr uint8_t STATUS_REFUSED = 1;
constexpr uint8_t STATUS_OUT_OF_RANGE = 2;
constexpr uint8_t STATUS_BAD_CHECKSUM = 3;
constexpr uint8_t STATUS_BAD_LENGTH = 4;
constexpr uint8_t STATUS_UNKNOWN = 5;
constexpr uint8_t STATUS_FLASH_FAILED = 6;

// The pedal's packet buffer holds 5120 bytes: a write carries at most that much data, and
// a read reply of n + 15 bytes must fit it, so a read asks for at most 5105.
constexpr uint32_t MAX_WRITE = 5120;
constexpr uint32_t MAX_READ = 5105;

constexpr uint8_t APP_HANDSHAKE[4] = {0x59, 0x12, 0x00, 0x34};
constexpr uint8_t APP_INFO_FIRST = 0x13;
constexpr uint8_t APP_INFO_LAST = 0x1E;
constexpr uint8_t APP_REENUMERATE = 0x21;
constexpr uint8_t APP_MODE_CHANGE = 0x50;
constexpr uint8_t APP_MIC_CORE_SET = 0x30;
constexpr uint8_t APP_MIC_CORE_GET = 0x31;
constexpr uint8_t APP_MIC_APP_SET = 0x40;
constexpr uint8_t APP_MIC_APP_GET = 0x41;

constexpr size_t QUERY_NAME_BYTES = 16;
constexpr size_t QUERY_PAYLOAD_BYTES = 27;

// Offsets in an update-mode packet.
constexpr size_t AT_COMMAND = 2;
constexpr size_t AT_LENGTH = 3;
constexpr size_t AT_PAYLOAD = 6;

void refresh_checksum(std::vector<uint8_t>& packet)
{
    if (packet.size() >= pedal_wire::PACKET_OVERHEAD)
        packet.back() =
            pedal_wire::checksum(packet.data() + AT_PAYLOAD, packet.size() - pedal_wire::PACKET_OVERHEAD);
}

// Falsifies one field of an update-mode reply; the checksum is kept valid unless the
// checksum itself is the fault, so each fault shows only as itself.
void falsify_update_reply(std::vector<uint8_t>& packet, EPedalFaultKind kind)
{
    if (packet.size() < pedal_wire::PACKET_OVERHEAD)
        return;
    switch (kind) {
        case EPedalFaultKind::WRONG_TYPE:
            packet[AT_COMMAND] ^= 0x40;
            break;
        case EPedalFaultKind::WRONG_ADDRESS:
            if ((packet[AT_COMMAND] == CMD_READ || packet[AT_COMMAND] == CMD_CHECKSUM) &&
                packet.size() >= AT_PAYLOAD + 5) {
                const uint32_t address = pedal_wire::get_le(&packet[AT_PAYLOAD + 1], 4) + 1;
                std::vector<uint8_t> field;
                pedal_wire::put_le(field, address, 4);
                std::copy(field.begin(), field.end(), packet.begin() + AT_PAYLOAD + 1);
                refresh_checksum(packet);
            }
            break;
        case EPedalFaultKind::BAD_CHECKSUM:
            packet.back() = static_cast<uint8_t>(~packet.back());
            break;
        case EPedalFaultKind::WRONG_DATA:
            // Payload: type, address (4), length (3), then the data.
            if (packet[AT_COMMAND] == CMD_READ && packet.size() > AT_PAYLOAD + 8 + 1) {
                packet[AT_PAYLOAD + 8] = static_cast<uint8_t>(~packet[AT_PAYLOAD + 8]);
                refresh_checksum(packet);
            }
            break;
        case EPedalFaultKind::WRONG_LENGTH_FIELD: {
            std::vector<uint8_t> field;
            pedal_wire::put_le(field, pedal_wire::get_le(&packet[AT_LENGTH], 3) + 1, 3);
            std::copy(field.begin(), field.end(), packet.begin() + AT_LENGTH);
            break;
        }
        default:
            break;
    }
}

}  // namespace

CEmulatedFlash* CPedalEmulator::flash_of_type(uint8_t type)
{
    if (type == 0)
        return &m_program_flash;
    if (type == 1)
        return &m_nand;
    return nullptr;
}

uint32_t CPedalEmulator::info_word(unsigned index) const
{
    uint8_t bytes[4];
    if (!m_program_flash.read(PEDAL_DEVICE_INFO_ADDRESS + 4 * index, bytes, 4))
        return 0xFFFFFFFF;
    return pedal_wire::get_le(bytes, 4);
}

std::vector<uint8_t> CPedalEmulator::query_payload() const
{
    std::vector<uint8_t> payload(m_model.name.begin(), m_model.name.end());
    payload.resize(QUERY_NAME_BYTES, 0);
    pedal_wire::put_le(payload, info_word(0), 4);
    pedal_wire::put_le(payload, info_word(1), 4);
    payload.resize(QUERY_PAYLOAD_BYTES, 0);
    return payload;
}

void CPedalEmulator::finish(std::vector<uint8_t> reply, EPedalMode mode,
                            const std::optional<SPedalFault>& fault)
{
    std::chrono::microseconds wait;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wait = m_latency;
    }
    if (fault) {
        switch (fault->kind) {
            case EPedalFaultKind::NO_REPLY:
                return;
            case EPedalFaultKind::UNPLUG_AFTER:
                unplug();
                return;
            case EPedalFaultKind::SHORT_REPLY:
                if (!reply.empty())
                    reply.pop_back();
                break;
            case EPedalFaultKind::DELAY:
                wait += std::chrono::milliseconds(fault->delay_ms);
                break;
            default:
                if (mode == EPedalMode::UPDATE)
                    falsify_update_reply(reply, fault->kind);
                else if (fault->kind == EPedalFaultKind::WRONG_TYPE && reply.size() > 1)
                    reply[1] ^= 0x40;
                break;
        }
    }
    if (reply.empty())
        return;
    auto framed = pedal_wire::frame(reply, mode == EPedalMode::UPDATE);
    wait_for_reply(wait, framed.size());
    std::optional<CVirtualMidiSystem::DeviceId> device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_powered)
            return;
        device = m_device;
    }
    // A pedal unplugged meanwhile has nobody to answer; the reply is simply lost.
    if (device && m_in_send)
        static_cast<void>(m_system.deliver_to_host(*device, std::move(framed)));
    else if (device)
        static_cast<void>(m_system.send_to_host(*device, std::move(framed)));
}

void CPedalEmulator::send_status(uint8_t status, const std::optional<SPedalFault>& fault)
{
    finish(pedal_wire::make_packet(CMD_STATUS, {status}), EPedalMode::UPDATE, fault);
}

void CPedalEmulator::handle_update(const std::vector<unsigned char>& message)
{
    std::vector<uint8_t> packet;
    if (!pedal_wire::unframe(message, true, packet) || packet.size() < AT_PAYLOAD ||
        packet[0] != pedal_wire::HEAD_0 || packet[1] != pedal_wire::HEAD_1)
        return;

    const uint8_t command = packet[AT_COMMAND];
    const uint32_t declared = pedal_wire::get_le(&packet[AT_LENGTH], 3);
    const bool whole = packet.size() == declared + pedal_wire::PACKET_OVERHEAD;
    const uint8_t* payload = packet.data() + AT_PAYLOAD;
    const size_t available = packet.size() - AT_PAYLOAD;

    SPedalCommandRecord entry{EPedalMode::UPDATE, command, 0, 0, 0, {}};
    const bool flash_command = command >= CMD_ERASE && command <= CMD_CHECKSUM;
    if (flash_command && available >= 5) {
        entry.flash_type = payload[0];
        entry.address = pedal_wire::get_le(payload + 1, 4);
    }
    if ((command == CMD_WRITE || command == CMD_READ) && available >= 8)
        entry.length = pedal_wire::get_le(payload + 5, 3);
    if (command == CMD_CHECKSUM && available >= 9)
        entry.length = pedal_wire::get_le(payload + 5, 4);
    record(entry);

    const auto fault = take_fault(EPedalMode::UPDATE, command, entry.address);
    if (fault && fault->kind == EPedalFaultKind::UNPLUG_BEFORE) {
        unplug();
        return;
    }
    if (fault && fault->kind == EPedalFaultKind::REFUSE)
        return send_status(STATUS_REFUSED, std::nullopt);
    if (!whole)
        return send_status(STATUS_BAD_LENGTH, fault);
    if (pedal_wire::checksum(payload, declared) != packet.back())
        return send_status(STATUS_BAD_CHECKSUM, fault);

    // The host's status packet acknowledges; answering it would start a ping-pong.
    if (command == CMD_STATUS)
        return finish({}, EPedalMode::UPDATE, fault);
    if (command == CMD_QUERY_NAME_AND_VERSION)
        return finish(pedal_wire::make_packet(CMD_QUERY_NAME_AND_VERSION, query_payload()),
                      EPedalMode::UPDATE, fault);
    if (command == CMD_MODE_CHANGE) {
        if (declared != 2 || payload[0] != 0x7F || payload[1] != 0x7F)
            return send_status(STATUS_BAD_LENGTH, fault);
        set_mode(EPedalMode::APP);
        return finish({}, EPedalMode::UPDATE, fault);
    }
    if (!flash_command)
        return send_status(STATUS_UNKNOWN, fault);

    const size_t expected = command == CMD_ERASE   ? 5
                            : command == CMD_WRITE ? 8 + entry.length
                            : command == CMD_READ  ? 8
                                                   : 9;
    if (declared < 5 || declared != expected)
        return send_status(STATUS_BAD_LENGTH, fault);
    if ((command == CMD_WRITE && entry.length > MAX_WRITE) ||
        (command == CMD_READ && entry.length > MAX_READ))
        return send_status(STATUS_BAD_LENGTH, fault);
    CEmulatedFlash* flash = flash_of_type(entry.flash_type);
    if (!flash)
        return send_status(STATUS_UNKNOWN, fault);
    if (!flash->contains(entry.address, command == CMD_ERASE ? 1 : std::max<uint32_t>(entry.length, 1)))
        return send_status(STATUS_OUT_OF_RANGE, fault);

    add_flash_work(*flash,
                   command == CMD_ERASE   ? EFlashWork::ERASE
                   : command == CMD_WRITE ? EFlashWork::PROGRAM
                                          : EFlashWork::READ,
                   entry.address, entry.length);
    switch (command) {
        case CMD_ERASE:
        case CMD_WRITE:
            switch (flash_operation(*flash, command == CMD_ERASE, entry.address, payload + 8, entry.length)) {
                case EFlashOutcome::DONE:
                    return send_status(STATUS_DONE, fault);
                case EFlashOutcome::FAILED:
                    return send_status(STATUS_FLASH_FAILED, fault);
                case EFlashOutcome::POWER_CUT:
                    return;
            }
            return;
        case CMD_READ: {
            std::vector<uint8_t> reply(payload, payload + 8);
            reply.resize(8 + entry.length);
            if (!flash->read(entry.address, reply.data() + 8, entry.length))
                return send_status(STATUS_FLASH_FAILED, fault);
            return finish(pedal_wire::make_packet(CMD_READ, reply), EPedalMode::UPDATE, fault);
        }
        default: {
            uint16_t sum = 0;
            if (!flash->sum16(entry.address, entry.length, sum))
                return send_status(STATUS_FLASH_FAILED, fault);
            std::vector<uint8_t> reply(payload, payload + 9);
            pedal_wire::put_le(reply, sum, 2);
            return finish(pedal_wire::make_packet(CMD_CHECKSUM, reply), EPedalMode::UPDATE, fault);
        }
    }
}

void CPedalEmulator::handle_app(const std::vector<unsigned char>& message)
{
    std::vector<uint8_t> bytes;
    if (!pedal_wire::unframe(message, false, bytes) || bytes.size() != 4 || bytes[0] != pedal_wire::HEAD_0)
        return;
    const uint8_t command = bytes[1];
    record({EPedalMode::APP, command, 0, 0, 0, {bytes[0], bytes[1], bytes[2], bytes[3]}});

    const auto fault = take_fault(EPedalMode::APP, command);
    if (fault && fault->kind == EPedalFaultKind::UNPLUG_BEFORE) {
        unplug();
        return;
    }
    if (fault && fault->kind == EPedalFaultKind::REFUSE)
        return;

    std::vector<uint8_t> reply;
    if (std::equal(bytes.begin(), bytes.end(), APP_HANDSHAKE)) {
        reply = bytes;
    } else if (command >= APP_INFO_FIRST && command <= APP_INFO_LAST) {
        const unsigned index = command - APP_INFO_FIRST;
        const auto value = static_cast<uint8_t>(info_word(index / 4) >> (8 * (index % 4)));
        reply = {pedal_wire::HEAD_0, command, static_cast<uint8_t>(value & 0x0F),
                 static_cast<uint8_t>(value >> 4)};
    } else {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (command == APP_REENUMERATE && bytes[2] == 0x00 && bytes[3] == 0x21)
            m_replug_requested = true;
        else if (command == APP_MODE_CHANGE && bytes[2] == 0x7F && bytes[3] == 0x7F)
            m_mode = EPedalMode::UPDATE;
        else if (command == APP_MIC_CORE_SET)
            m_mic_core[bytes[2]] = bytes[3];
        else if (command == APP_MIC_APP_SET)
            m_mic_app[bytes[2]] = bytes[3];
        else if (command == APP_MIC_CORE_GET)
            reply = {pedal_wire::HEAD_0, command, bytes[2], m_mic_core[bytes[2]]};
        else if (command == APP_MIC_APP_GET)
            reply = {pedal_wire::HEAD_0, command, bytes[2], m_mic_app[bytes[2]]};
    }
    finish(std::move(reply), EPedalMode::APP, fault);
}
