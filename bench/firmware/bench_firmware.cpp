// Figures of the package reader on a 16 MiB image of mixed content, the size of a large
// NAND section: how fast a package is built, opened and unpacked.
#include "firmware/pack_builder.h"
#include "firmware/pack_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int IMAGE_SIZE = 16 << 20;

// Half noise, half runs: compresses about as well as real firmware does.
QByteArray firmware_like_image()
{
    QByteArray image(IMAGE_SIZE, '\0');
    uint32_t state = 12345;
    for (int i = 0; i < IMAGE_SIZE; ++i) {
        state = state * 1664525u + 1013904223u;
        image[i] = static_cast<char>((i / 4096) % 2 ? state >> 24 : (i / 64) & 0xFF);
    }
    return image;
}

double mib_per_s(qint64 bytes, qint64 nanoseconds)
{
    return double(bytes) / (1 << 20) / (double(nanoseconds) / 1e9);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.path() + "/bench.dat";
    const QByteArray image = firmware_like_image();
    const QByteArray layout =
        "[FLASH 1]\nTYPE=1\nStart Address=0x0\nEnd Address=0x1000000\nSector Size=0x20000\n";

    QElapsedTimer timer;
    QString error;
    timer.start();
    if (!write_pack_file(path, "10001", {{layout, image}}, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("build MiB/s: %.1f\n", mib_per_s(IMAGE_SIZE, timer.nsecsElapsed()));

    CPackFile pack;
    timer.start();
    const int opens = 1000;
    for (int i = 0; i < opens; ++i) {
        if (!pack.open(path))
            return 1;
    }
    std::printf("open us: %.1f\n", double(timer.nsecsElapsed()) / 1e3 / opens);

    const int rounds = 5;
    unsigned length = 0;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        if (!pack.get_file_data(0, length) || length != unsigned(IMAGE_SIZE))
            return 1;
    }
    std::printf("unpack MiB/s: %.1f\n", mib_per_s(qint64(IMAGE_SIZE) * rounds, timer.nsecsElapsed()));
    std::printf("stored ratio %%: %.1f\n", 100.0 * pack.data_heads()[0].stored_length / IMAGE_SIZE);
    return 0;
}
