#pragma once

#include "audio/loudness_meter.h"
#include "audio/song_file_reader.h"
#include "audio/waveform_overview.h"
#include "core/song_commands/pages_ahead.h"
#include "songs/song_pages.h"
#include "support/sha256.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct SNandFlashConfig;

// What a slot read back is compared with after a write, in place of a copy of the song:
// the hash of the bytes written and of their whole storage units, as a record that counts
// whole units gives the song back.
struct SSongDigest {
    unsigned int length = 0;
    QString sha256;
    unsigned int unit_length = 0;  // `length` down to whole units
    QString unit_sha256;           // of the first unit_length bytes
};

// The digest of `length` bytes at `song`, in units of `unit_size`.
SSongDigest song_digest(const unsigned char* song, unsigned int length, unsigned int unit_size);

// An imported song on its way to the pedal: the file converted again a little ahead of
// the write that takes its pages (CSongFileReader, CPagesAhead), hashed for the read-back,
// drawn for the library's overview and, when the check left it, measured as it converts.
class CImportPages final : public CSongPageSource {
public:
    // Null when the file cannot be read again. The song is hashed only `for_verify`.
    [[nodiscard]] static std::unique_ptr<CImportPages> open(const QString& path, const SSongTarget& target,
                                                            const SSongImport& checked,
                                                            const SNandFlashConfig& format, bool for_verify);
    [[nodiscard]] unsigned int length() const override { return m_length; }
    [[nodiscard]] bool next(unsigned char* out, unsigned int count) override;

    // Once every page has been handed out; no page is handed out after them. digest()
    // only of pages opened for a verify.
    [[nodiscard]] SSongDigest digest();
    [[nodiscard]] QByteArray overview();
    // The song's loudness, measured as it passed; nothing when the check had measured it.
    [[nodiscard]] std::optional<SLoudness> loudness();

private:
    CImportPages(std::unique_ptr<CLoudnessMeter> meter, std::unique_ptr<CSongFileReader> reader,
                 const SNandFlashConfig& format, bool hashed);
    // The song's next bytes, hashed and drawn: on the thread of m_ahead.
    bool convert(unsigned char* out, size_t count);
    void hash(const unsigned char* bytes, size_t count);

    std::unique_ptr<CLoudnessMeter> m_meter;  // before the reader, which feeds it
    std::unique_ptr<CSongFileReader> m_reader;
    unsigned int m_length;
    unsigned int m_unit_length;
    unsigned int m_handed = 0;
    bool m_hashed;
    CSha256 m_hash;
    QString m_unit_sha256;  // taken once the whole units have passed
    CWaveformOverviewBuilder m_overview;
    CPagesAhead m_ahead;  // last: its thread stops before what it fills goes
};
