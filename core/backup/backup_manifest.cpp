#include "core/backup/backup_manifest.h"

#include "library/song_name.h"
#include "songs/looper_song_base.h"
#include "support/neat.h"
#include "support/slot_song_name.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <utility>

const char SBackupManifest::kFileName[] = "backup.json";
const char SBackupManifest::kIncompleteMarker[] = "backup.incomplete";

namespace {

constexpr int kSha256Bytes = 32;

const QString kLegacy = QStringLiteral("legacy");
const QString kCurrent = QStringLiteral("current");

QString hex_word(uint32_t value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

std::optional<uint32_t> word_from_hex(const QJsonValue& value)
{
    bool ok = false;
    const uint32_t word = value.toString().toUInt(&ok, 0);
    return ok ? std::optional<uint32_t>(word) : std::nullopt;
}

// The loudness figures under their manifest keys.
const std::pair<const char*, std::optional<double> SLibrarySong::*> kFigures[] = {
    {"loudness_lufs", &SLibrarySong::loudness_lufs},
    {"loudness_range_lu", &SLibrarySong::loudness_range_lu},
    {"true_peak_dbtp", &SLibrarySong::true_peak_dbtp},
};

// The name and the loudness figures, each only when known.
void insert_facts(QJsonObject& entry, const SLibrarySong& facts)
{
    if (!facts.name.isEmpty())
        entry.insert("name", facts.name);
    for (const auto& [key, figure] : kFigures)
        if (facts.*figure && std::isfinite(*(facts.*figure)))
            entry.insert(key, std::round(*(facts.*figure) * 100) / 100);
}

SLibrarySong facts_from(const QJsonObject& entry)
{
    SLibrarySong facts;
    // A backup's names are outside text like a tag: whatever they hold, what enters the
    // library is a valid name.
    facts.name = song_name_from(entry.value("name").toString());
    for (const auto& [key, figure] : kFigures) {
        const QJsonValue value = entry.value(key);
        if (value.isDouble() && std::isfinite(value.toDouble()))
            facts.*figure = value.toDouble();
    }
    return facts;
}

void insert_block_sums(QJsonObject& entry, const SBackupSlot& slot)
{
    if (slot.fingerprint.isEmpty() || slot.block_sums.empty())
        return;
    QJsonArray sums;
    for (const SBlockRunSum& run : slot.block_sums)
        sums.append(QJsonArray{int(run.first_block), int(run.blocks), int(run.sum)});
    entry.insert("fingerprint", slot.fingerprint);
    entry.insert("block_sums", sums);
    entry.insert("tail_sum", int(slot.tail_sum));
}

// Sums that do not read whole are dropped with the fingerprint: the slot is then read again.
void block_sums_from(const QJsonObject& entry, SBackupSlot& slot)
{
    std::vector<SBlockRunSum> sums;
    for (const QJsonValue& value : entry.value("block_sums").toArray()) {
        const QJsonArray run = value.toArray();
        const auto word = [&run](int i) { return run.at(i).toInt(-1); };
        if (run.size() != 3 || word(0) < 0 || word(0) > 0xFFFF || word(1) < 1 || word(1) > 0xFFFF ||
            word(2) < 0 || word(2) > 0xFFFF)
            return;
        sums.push_back({uint16_t(word(0)), uint16_t(word(1)), uint16_t(word(2))});
    }
    if (sums.empty())
        return;
    slot.fingerprint = entry.value("fingerprint").toString();
    slot.block_sums = std::move(sums);
    slot.tail_sum = uint16_t(entry.value("tail_sum").toInt(0));
}

}  // namespace

std::vector<SBlockRunSum> proven_block_sums(const SNandFlashConfig& format,
                                            const std::vector<SBlockRunSum>& pedal_sums, const QByteArray& bytes,
                                            uint16_t tail_sum)
{
    std::vector<SBlockRunSum> sums = written_block_sums(
        format, pedal_sums, reinterpret_cast<const unsigned char*>(bytes.constData()), uint64_t(bytes.size()));
    if (!sums.empty())
        sums.back().sum = uint16_t(sums.back().sum + tail_sum);
    return sums;
}

QString SSlotFormat::text() const
{
    return QStringLiteral("%1 %2").arg(layout == LOOPER_SONG_FORMAT_OLD ? kLegacy : kCurrent,
                                       channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"));
}

std::optional<SSlotFormat> SSlotFormat::from_text(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '));
    if (words.size() != 2 || (words[0] != kLegacy && words[0] != kCurrent) ||
        (words[1] != "mono" && words[1] != "stereo"))
        return std::nullopt;
    return SSlotFormat{words[0] == kLegacy ? LOOPER_SONG_FORMAT_OLD : LOOPER_SONG_FORMAT_FILE,
                       words[1] == "mono" ? 1u : 2u};
}

SSlotFormat SSlotFormat::of_model(const SModelInfo& model)
{
    if (!model.nand || model.song_slot_count == 0)
        return {};
    return {model.song_format, model.nand->channels};
}

QString SBackupManifest::song_file_name(unsigned int number)
{
    return slot_song_name(number - 1) + QStringLiteral(".raw");
}

QString SBackupManifest::wav_file_name(unsigned int number, const QString& name)
{
    const QString safe = file_safe_name(name);
    return (safe.isEmpty() ? slot_song_name(number - 1) : QString::asprintf("%02u ", number) + safe) +
           QStringLiteral(".wav");
}

QByteArray SBackupManifest::to_json() const
{
    QJsonArray listed;
    for (const SBackupSlot& slot : songs) {
        QJsonObject entry{{"slot", int(slot.number)}, {"readable", slot.readable}};
        if (slot.readable) {
            entry.insert("file", song_file_name(slot.number));
            entry.insert("length", double(slot.length));
            entry.insert("sha256", QString::fromLatin1(slot.sha256.toHex()));
        }
        insert_facts(entry, slot.facts);
        insert_block_sums(entry, slot);
        listed.append(entry);
    }
    const QJsonObject root{{"format_version", format_version},
                           {"program_version", program_version},
                           {"date", date.toString(Qt::ISODate)},
                           {"model", model_name},
                           {"product_id", hex_word(product_id)},
                           {"firmware_version", NEAT::convert_version_to_str(firmware_version)},
                           {"slot_format", slot_format.text()},
                           {"slot_count", int(slot_count)},
                           {"slots", listed}};
    return QJsonDocument(root).toJson();
}

std::optional<SBackupManifest> SBackupManifest::from_json(const QByteArray& json, QString& why)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        why = QStringLiteral("The manifest is damaged or truncated (%1).").arg(error.errorString());
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    SBackupManifest manifest;
    manifest.format_version = root.value("format_version").toInt(0);
    if (manifest.format_version != kFormatVersion) {
        why = QStringLiteral("The manifest has format version %1; this program reads version %2.")
                  .arg(root.value("format_version").toVariant().toString())
                  .arg(kFormatVersion);
        return std::nullopt;
    }
    manifest.program_version = root.value("program_version").toString();
    manifest.date = QDateTime::fromString(root.value("date").toString(), Qt::ISODate);
    manifest.model_name = root.value("model").toString();
    const std::optional<uint32_t> product = word_from_hex(root.value("product_id"));
    const std::optional<SSlotFormat> format = SSlotFormat::from_text(root.value("slot_format").toString());
    const int count = root.value("slot_count").toInt(0);
    if (manifest.model_name.isEmpty() || !product || !format || count < 1) {
        why = QStringLiteral("The manifest lacks the model, its product ID, slot format or slot count.");
        return std::nullopt;
    }
    manifest.product_id = *product;
    manifest.firmware_version = NEAT::convert_str_to_version(root.value("firmware_version").toString());
    manifest.slot_format = *format;
    manifest.slot_count = static_cast<unsigned int>(count);

    for (const QJsonValue& value : root.value("slots").toArray()) {
        const QJsonObject entry = value.toObject();
        SBackupSlot slot;
        const int number = entry.value("slot").toInt(0);
        slot.readable = entry.value("readable").toBool(true);
        const double length = entry.value("length").toDouble(0);
        slot.sha256 = QByteArray::fromHex(entry.value("sha256").toString().toLatin1());
        slot.facts = facts_from(entry);
        block_sums_from(entry, slot);
        const bool in_order = manifest.songs.empty() || unsigned(number) > manifest.songs.back().number;
        const bool described =
            !slot.readable || (length >= 1 && length <= UINT32_MAX && slot.sha256.size() == kSha256Bytes &&
                               entry.value("file").toString() == song_file_name(number));
        if (number < 1 || number > count || !in_order || !described) {
            why = QStringLiteral("The manifest's entry for slot %1 is not valid.")
                      .arg(entry.value("slot").toInt());
            return std::nullopt;
        }
        slot.number = static_cast<unsigned int>(number);
        slot.length = static_cast<uint32_t>(length);
        manifest.songs.push_back(slot);
    }
    return manifest;
}
