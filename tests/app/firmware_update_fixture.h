#pragma once

#include "firmware/pack_builder.h"
#include "hex_diff.h"
#include "window_fixture.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

constexpr uint8_t kErase = 0x21;
constexpr uint8_t kWrite = 0x22;
constexpr uint8_t kRead = 0x23;
constexpr uint8_t kChecksum = 0x24;
constexpr unsigned kSystem = 0;
constexpr unsigned kNand = 1;

using Sections = std::vector<SPackSection>;

// The result of an update that left the information record as it was.
inline const QString kSuccessfulSameVersion =
    QStringLiteral("Successful!\nRestart the pedal to run the new firmware.");
using Range = std::pair<uint32_t, uint32_t>;  // address, length

QByteArray layout(unsigned type, uint32_t start, uint32_t end, uint32_t sector);
QByteArray image(int size, uint8_t seed);
void expect_bytes(const Bytes& actual, const QByteArray& image);
SPedalConfig pulse_ring(uint32_t version = 0x010203);

// One small system section, for tests about anything but its bytes. Inline, so that
// kSmall is built before kGood in every file.
inline const QByteArray kSmall = image(0x200, 4);
inline const SPackSection kGood{layout(kSystem, 0x10000, 0x10800, 0x800), kSmall};

class FirmwareUpdate : public WindowWithPedals {
protected:
    // The temporary folder of the update is the test's own, so other programs' files
    // there cannot be taken for ours.
    void SetUp() override;
    void TearDown() override;

    // The connected window, with the pedal's log and the boxes of the start forgotten.
    CPedalEmulator& start(const SPedalConfig& config = pulse_ring(),
                          std::optional<SPedalFault> start_fault = std::nullopt);
    QString package(const Sections& sections, const QByteArray& product = "10002");
    void update_local(const QString& path);
    std::vector<uint32_t> erases() const;
    std::vector<Range> writes(unsigned type) const;
    // The update ended: idle, bar hidden, song page back, no temporary file left behind.
    void expect_ended() const;

    QTemporaryDir m_files;
    QByteArray m_oldTemp;
};

// The update server lists PEDAL_V1.2.3 for the pulse ring, under its product ID and
// under the one of a pedal whose information was not read.
class OnlineSource : public FirmwareUpdate {
protected:
    CPedalEmulator& start_online(uint32_t version, bool info_unread);
};
