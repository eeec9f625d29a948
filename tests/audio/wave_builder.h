#pragma once

#include "hex_diff.h"

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class CWave;

// Little-endian byte images for hand-made WAVE files.
Bytes le16(uint16_t value);
Bytes le32(uint32_t value);
Bytes concat(std::initializer_list<Bytes> parts);
// A chunk: 4-character id, 32-bit size, body, and the pad byte of an odd body unless
// `declared` overrides the size field.
Bytes chunk(const std::string& id, const Bytes& body);
Bytes chunk(const std::string& id, const Bytes& body, uint32_t declared);
// "RIFF", size, "WAVE", then the chunks.
Bytes riff_wave(std::initializer_list<Bytes> chunks);
// The 16-byte body of a plain format chunk; nBlockAlign and nAvgBytesPerSec follow from
// the other fields unless given.
Bytes format_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
Bytes format_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign);
// The 40-byte WAVE_FORMAT_EXTENSIBLE body whose sub-format is `subTag`.
Bytes extensible_body(uint16_t subTag, uint16_t channels, uint32_t rate, uint16_t bits);

Bytes read_file(const QString& path);
void write_file(const QString& path, const Bytes& bytes);

// The frames of a CWave as bytes.
Bytes frames_of(const CWave& wave);
// A CWave of 16-bit integer PCM with the given channels, which must be of equal length.
CWave pcm16_wave(unsigned int rate, const std::vector<std::vector<int16_t>>& channels);
