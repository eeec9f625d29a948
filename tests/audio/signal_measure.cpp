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

double decibels(double ratio)
{
    return 20 * std::log10(ratio);
}

double thd_n_db(const std::vector<double>& samples, double rate, double hz)
{
    const size_t from = samples.size() / 10;
    const size_t to = samples.size() - from;
    // Normal equations of samples ~ a sin + b cos.
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t i = from; i < to; ++i) {
        const double s = std::sin(2 * M_PI * hz * double(i) / rate),
                     c = std::cos(2 * M_PI * hz * double(i) / rate);
        ss += s * s, cc += c * c, sc += s * c, ys += samples[i] * s, yc += samples[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double tone = 0, rest = 0;
    for (size_t i = from; i < to; ++i) {
        const double fit =
            a * std::sin(2 * M_PI * hz * double(i) / rate) + b * std::cos(2 * M_PI * hz * double(i) / rate);
        tone += fit * fit;
        rest += (samples[i] - fit) * (samples[i] - fit);
    }
    return 10 * std::log10(rest / tone);
}
