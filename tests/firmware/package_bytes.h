#pragma once

#include "firmware/pack_builder.h"
#include "hex_diff.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Helpers for tests that build a package and then damage or forge parts of it.

// A package from the builder; fails the calling test when the builder refuses.
QByteArray built_package(const QByteArray& product_id, const std::vector<SPackSection>& sections);

// Rewrites a little-endian word of a section header (0-based section) and re-seals the
// header, so only the forged value is wrong.
void forge_section_word(QByteArray& package, unsigned section, unsigned offset, uint32_t value);

// Re-seals the file header after a deliberate change to it.
void reseal_file_header(QByteArray& package);

// Writes `content` to `path`, replacing the file; fails the calling test when it cannot.
void write_file(const QString& path, const QByteArray& content);

// `size` bytes of a fixed pseudo-random pattern, different for each `seed`.
QByteArray noise(int size, uint32_t seed);

Bytes to_bytes(const char* data, unsigned length);
Bytes to_bytes(const QByteArray& data);
