#pragma once

#include <QIODevice>
#include <QString>
#include <cstdint>

class QFile;
struct SWaveFormatex;

// Small chores shared by every subsystem. Failures are returned as 1/0, with the text a
// user must see handed back where there is one.
namespace NEAT {

// Folder of the running executable, with a trailing "/"; computed once, then cached.
QString GetAppDir();

// Runs every pending GUI event once without waiting; long device loops call it between
// packets, so callers must tolerate their own window's handlers running meanwhile.
int PeekAndPump();

// Busy wait of at least `milliseconds`; processes no events.
void Sleep(unsigned int milliseconds);

// Unsigned 32-bit sum of the bytes, wrapping; 0 for a count of 0 or less.
uint32_t GetChecksumByByte(const unsigned char* data, int count);

// Opens `file` at `path`. Returns 1 with the file left open, or 0 with "Open file '<name>'
// failed, it may be occupied by other process" in `*error` (when not null).
[[nodiscard]] int OpenFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error);

// Reads up to `length` bytes at `offset`. 1 whenever the file opened, even for a short
// read; callers that care check lengths themselves. `error` as for OpenFile.
[[nodiscard]] int ReadFile(const QString& path, unsigned int offset, unsigned int length,
                           unsigned char* destination, QString* error = nullptr);

// Replaces the file with `length` bytes. 1 whenever the file opened. `error` as for OpenFile.
[[nodiscard]] int WriteFile(const QString& path, const unsigned char* data, unsigned int length,
                            QString* error = nullptr);

void remove_if_exist(const QString& path);

// Absolute folder holding `path` (relative paths resolve against the working folder),
// with a trailing "/".
QString get_folder_from_path(const QString& path);
QString get_folder_from_path(const QString& path, QString& folder);

// Integer PCM format record; defined by the audio subsystem.
void get_wave_format_ex(unsigned short channels, unsigned int sample_rate, unsigned short bits_per_sample,
                        SWaveFormatex& format);

// Re-seeds the C generator from the time of day on every call: two calls within one
// millisecond give the same value.
uint32_t get_random_dword();

// Versions carry major, minor and build in bits 16-23, 8-15 and 0-7.
QString convert_version_to_str(uint32_t version);
uint32_t convert_str_to_version(const QString& text);

}  // namespace NEAT
