#include "core/song_commands/import_pages.h"

#include "core/song_commands/song_settings.h"
#include "device/nand_flash_config.h"

#include <algorithm>

namespace {

unsigned int whole_units(unsigned int length, unsigned int unit_size)
{
    return unit_size ? length / unit_size * unit_size : length;
}

}  // namespace

SSongDigest song_digest(const unsigned char* song, unsigned int length, unsigned int unit_size)
{
    SSongDigest digest;
    digest.length = length;
    digest.unit_length = whole_units(length, unit_size);
    CSha256 hash;
    hash.add(song, digest.unit_length);
    digest.unit_sha256 = hash.hex_so_far();
    hash.add(song + digest.unit_length, length - digest.unit_length);
    digest.sha256 = hash.hex_result();
    return digest;
}

std::unique_ptr<CImportPages> CImportPages::open(const QString& path, const SSongTarget& target,
                                                 const SSongImport& checked, const SNandFlashConfig& format,
                                                 bool for_verify)
{
    std::unique_ptr<CLoudnessMeter> meter;
    if (!checked.loudness_measured) {
        meter = CLoudnessMeter::create(target.channels, kSongSampleRate, false);
        if (!meter)
            return nullptr;
    }
    std::unique_ptr<CSongFileReader> reader = CSongFileReader::open(path, target, checked, meter.get());
    if (!reader || reader->length() > UINT32_MAX)
        return nullptr;
    std::unique_ptr<CImportPages> pages(
        new CImportPages(std::move(meter), std::move(reader), format, for_verify));
    return pages->m_ahead.start() ? std::move(pages) : nullptr;
}

CImportPages::CImportPages(std::unique_ptr<CLoudnessMeter> meter, std::unique_ptr<CSongFileReader> reader,
                           const SNandFlashConfig& format, bool hashed)
    : m_meter(std::move(meter)),
      m_reader(std::move(reader)),
      m_length(static_cast<unsigned int>(m_reader->length())),
      m_unit_length(whole_units(m_length, format.unit_size)),
      m_hashed(hashed),
      m_overview(m_length, song_audio_format(format)),
      m_ahead(m_length, [this](unsigned char* out, size_t count) { return convert(out, count); })
{
}

bool CImportPages::next(unsigned char* out, unsigned int count)
{
    return m_ahead.next(out, count);
}

bool CImportPages::convert(unsigned char* out, size_t count)
{
    if (!m_reader->next(out, count))
        return false;
    if (m_hashed)
        hash(out, count);
    m_overview.add(out, count);
    m_handed += static_cast<unsigned int>(count);
    return true;
}

void CImportPages::hash(const unsigned char* bytes, size_t count)
{
    const size_t before = m_handed < m_unit_length ? std::min<size_t>(count, m_unit_length - m_handed) : 0;
    m_hash.add(bytes, before);
    if (m_handed + before == m_unit_length && m_unit_sha256.isEmpty())
        m_unit_sha256 = m_hash.hex_so_far();
    m_hash.add(bytes + before, count - before);
}

SSongDigest CImportPages::digest()
{
    m_ahead.finish();
    return {m_length, m_hash.hex_result(), m_unit_length, m_unit_sha256};
}

QByteArray CImportPages::overview()
{
    m_ahead.finish();
    return m_overview.result();
}

std::optional<SLoudness> CImportPages::loudness()
{
    m_ahead.finish();
    if (!m_meter)
        return std::nullopt;
    return m_meter->result();
}
