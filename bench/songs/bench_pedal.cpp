#include "bench_pedal.h"

#include "library/song_library.h"

#include <memory>

namespace {

SPedalConfig pulse_ring()
{
    SPedalConfig config;
    config.product_id = 0x2712;
    return config;
}

}  // namespace

SBenchSession::SBenchSession() : pedal(system, pulse_ring())
{
    session.set_library(std::make_unique<CSongLibrary>(files.filePath("library.sqlite")));
}

SBenchSession::~SBenchSession()
{
    session.close();
    install_midi_system(previous);
}

std::vector<unsigned char> bench_noise(size_t length, uint32_t seed)
{
    std::vector<unsigned char> bytes(length);
    for (unsigned char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}
