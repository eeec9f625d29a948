#pragma once

#include "audio/loudness_meter.h"
#include "cli/cli_context.h"
#include "core/operation_result.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>

class CPedalSession;
class CTask;

// What every command prints and parses the same way: its results, failures and slots.

// Runs `work` on the session with a task whose progress is drawn and which Ctrl-C cancels;
// its result, with the session's notes.
COperationResult run_task(SCliContext& context, CPedalSession& session,
                          const std::function<COperationResult(CTask&)>& work);
// Prints the result's notes and then its text (and its detail) to stderr, or the text to
// stdout on success (not with --quiet); the exit code. A declined question prints
// "Nothing changed."; a cancel ends with 130.
int report(SCliContext& context, const COperationResult& result);
// run_task, then report.
int run_with_task(SCliContext& context, CPedalSession& session,
                  const std::function<COperationResult(CTask&)>& work);
// Prints `text` to the error output and returns `code`.
int fail_with(SCliContext& context, int code, const QString& text);
// As fail_with; with --json the text goes to the output as {"error": text}, so a script
// that reads JSON reads the failure too.
int fail_in_kind(SCliContext& context, int code, const QString& text);
// Slot argument `text` (1-based) as a 0-based slot of the session's model, or -1 after
// printing why.
int parse_slot(SCliContext& context, const QString& text, const CPedalSession& session);
// As parse_slot, for a slot that must hold a song: sets `slot` and returns CLI_EXIT_OK, or
// prints why not and returns the exit code.
int parse_song_slot(SCliContext& context, const QString& text, const CPedalSession& session, int& slot);
// Prints each text to the error output.
void print_errors(SCliContext& context, const QStringList& texts);
// `path` is not a file: says so; the exit code.
int not_a_file(SCliContext& context, const QString& path);
// A question was answered no: says that nothing changed; the exit code.
int declined(SCliContext& context);
// A song's loudness figures as JSON: integrated_lufs, range_lu and true_peak_dbtp, each
// null when unknown (silence has no integrated loudness).
QJsonObject loudness_json(const SLoudness& loudness);
// Prints `text` to the output, UTF-8, with a newline.
void print_line(SCliContext& context, const QString& text);
