#include "signal_measure.h"
#include "audio/wave.h"

#include <cmath>
#include <stdexcept>

std::vector<int16_t> sine16(double hz, unsigned int rate, size_t count, double amplitude)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = int16_t(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * double(i) / rate)));
    return samples;
}

std::vector<double> channel_of(const CWave& wave, unsigned int channel)
{
    const SWaveFormatex& format = wave.GetFormat();
    const unsigned int bytes = format.wBitsPerSample / 8u;
    if (bytes == 0 || channel >= format.nChannels)
        throw std::invalid_argument("no such channel");
    std::vector<double> samples(wave.GetNumSamples());
    const unsigned char* frame = wave.GetBuffer() + size_t(channel) * bytes;
    for (size_t i = 0; i < samples.size(); ++i, frame += format.nBlockAlign) {
        if (bytes == 1) {
            samples[i] = (frame[0] - 128) / 128.0;
            continue;
        }
        uint32_t value = 0;
        for (unsigned int b = 0; b < bytes; ++b)
            value |= uint32_t(frame[b]) << (8 * (b + 4 - bytes));
        samples[i] = double(int32_t(value)) / 2147483648.0;
    }
    return samples;
}

double frequency_of(const std::vector<double>& samples, double rate)
{
    const size_t from = samples.size() / 10;
    const size_t to = samples.size() - from;
    double first = -1, last = -1;
    size_t crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double at = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / (last - first);
}

double amplitude_of(const std::vector<double>& samples)
{
    const size_t from = samples.size() / 10;
    const size_t to = samples.size() - from;
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += samples[i] * samples[i];
    return std::sqrt(2.0 * sum / double(to - from));
}
