#pragma once

#include "emulator/host_port_pair.h"
#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"
#include "hex_diff.h"

#include <gtest/gtest.h>

#include <memory>

// One emulated pedal on a fresh virtual MIDI system, with the host's port pair open on it.
class PedalTest : public ::testing::Test {
protected:
    void start(const SPedalConfig& config = {})
    {
        pedal = std::make_unique<CPedalEmulator>(system, config);
        host = std::make_unique<CHostPortPair>(system, pedal->port_name());
    }
    void TearDown() override
    {
        host.reset();
        pedal.reset();
    }

    // Sends one update-mode packet and returns the unpacked reply.
    Bytes request(uint8_t command, const Bytes& payload)
    {
        host->send_bytes(pedal_wire::make_packet(command, payload), true);
        return host->next_bytes(true).value_or(Bytes{});
    }
    // Sends raw packet bytes (possibly malformed) and returns the unpacked reply.
    Bytes request_raw(const Bytes& packet)
    {
        host->send_bytes(packet, true);
        return host->next_bytes(true).value_or(Bytes{});
    }
    Bytes app_request(const char* bytes)
    {
        host->send_bytes(hex_bytes(bytes), false);
        return host->next_bytes(false).value_or(Bytes{});
    }
    // Nothing came back once the pedal handled everything sent so far.
    void expect_silence()
    {
        pedal->wait_until_idle();
        EXPECT_EQ(host->pending(), 0u);
    }

    static Bytes flash_payload(uint8_t type, uint32_t address, uint32_t length, unsigned length_bytes)
    {
        Bytes payload{type};
        pedal_wire::put_le(payload, address, 4);
        pedal_wire::put_le(payload, length, length_bytes);
        return payload;
    }
    static Bytes erase(uint8_t type, uint32_t address)
    {
        Bytes payload{type};
        pedal_wire::put_le(payload, address, 4);
        return payload;
    }
    static Bytes write(uint8_t type, uint32_t address, const Bytes& data)
    {
        Bytes payload = flash_payload(type, address, static_cast<uint32_t>(data.size()), 3);
        payload.insert(payload.end(), data.begin(), data.end());
        return payload;
    }
    static Bytes read(uint8_t type, uint32_t address, uint32_t length)
    {
        return flash_payload(type, address, length, 3);
    }
    static Bytes checksum(uint8_t type, uint32_t address, uint32_t length)
    {
        return flash_payload(type, address, length, 4);
    }
    static Bytes status(uint8_t code) { return pedal_wire::make_packet(0x00, {code}); }

    CVirtualMidiSystem system;
    std::unique_ptr<CPedalEmulator> pedal;
    std::unique_ptr<CHostPortPair> host;
};
