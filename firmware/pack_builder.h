#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// One section of a package to build: where the image goes, and the image itself.
struct SPackSection {
    QByteArray layout_text;  // the INI layout text, stored as it is
    QByteArray image;        // the flash image, stored compressed and keyed
};

// The one writer of firmware packages. Builds the bytes CPackFile reads: the file header
// with `product_id` (ASCII, normally decimal digits, at most 79 bytes, no NUL), then the
// section headers, then each section's layout text followed by its stored image. Fails,
// with `error` set, for more than 99 sections, a product ID that does not fit, an image
// above the reader's limit or a package beyond 32-bit offsets. Layout texts are not
// checked here, so tests can build packages with broken layouts on purpose.
[[nodiscard]] bool make_pack_file(const QByteArray& product_id, const std::vector<SPackSection>& sections,
                                  QByteArray& package, QString& error);

// make_pack_file, then writes the package to `path` in one step: an existing file is
// either replaced whole or left as it was.
[[nodiscard]] bool write_pack_file(const QString& path, const QByteArray& product_id,
                                   const std::vector<SPackSection>& sections, QString& error);
