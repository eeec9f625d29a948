#include "gui_stall.h"

#include "app/tandora_qt.h"
#include "audio/wave.h"
#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kSeconds = 240;

bool write_song(const QString& path)
{
    std::vector<int16_t> samples(size_t{kRate} * kSeconds * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 220.0 * double(i / 2) / kRate));
    CWave wave;
    wave.BuildFormat(2, kRate, 16);
    wave.SetBuffer(samples.data(), kRate * kSeconds, true);
    return wave.Save(path);
}

}  // namespace

double max_gui_stall_ms(CPedalEmulator& pedal, CResultPrompt& prompt)
{
    QTemporaryDir folder;
    prompt.open_file = folder.filePath("song.wav");
    if (!write_song(prompt.open_file))
        fail("writing the song", prompt.open_file);
    pedal.set_reply_latency(std::chrono::milliseconds(1));
    CPedalSession session;
    TandoraQT window(session);
    wait_until_idle(window);
    window.findChild<QListWidget*>("m_lstSong")->setCurrentRow(0);

    CTickGaps gaps;
    prompt.last.clear();
    window.findChild<QPushButton*>("m_btnDownload")->click();
    gaps.start();
    wait_for_result(prompt, "Successful !");
    prompt.open_file.clear();
    pedal.set_reply_latency(std::chrono::microseconds(0));
    return gaps.worst_ms();
}
