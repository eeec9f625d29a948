#pragma once

#include <QString>
#include <functional>
#include <vector>

// The timing and the peers the audio figures share. Every figure is a median of kRuns.
constexpr int kRuns = 5;

// Runs a shell command, its error output dropped; true when it exited with 0.
bool run(const QString& command);
double median(std::vector<double> values);
// The time `job` took; a job that fails ends the benchmark.
double elapsed_ms(const std::function<bool()>& job);
// Median time of ours over median time of the peer's, the two taking turns.
double time_ratio(const std::function<bool()>& ours, const std::function<bool()>& theirs);
// ffmpeg's two readings of `from` to bring it to `target` LUFS in `channels`: its meter's
// summary, then the conversion with the gain the integrated loudness and the true peak allow.
bool ffmpeg_normalised(const QString& from, const QString& to, double target, unsigned int channels);
