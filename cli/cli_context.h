#pragma once

#include "cli/cli_options.h"

#include <cstdio>
#include <functional>

class CAudioSink;
class CInterruptWatch;
class CPedalSession;
class CTask;
class CTerminalPrompt;

enum ECliExit : int {
    CLI_EXIT_OK = 0,
    CLI_EXIT_FAILED = 1,
    CLI_EXIT_USAGE = 2,
    CLI_EXIT_NO_PEDAL = 3,
    // As a shell reports a program ended by Ctrl-C (128 + SIGINT).
    CLI_EXIT_CANCELLED = 130,
};

// What every command needs: the options, the terminal, and the program's output.
struct SCliContext {
    const SCliOptions& options;
    CTerminalPrompt& prompt;
    CInterruptWatch& interrupt;
    // stderr is a terminal: progress is drawn as a bar.
    bool terminal;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Called at every step of a running task, on the thread that runs it (tests use it
    // to interrupt at a known point).
    std::function<void(CTask&)> on_task_step;
    // Where play sounds; null: the computer's default output (tests put a capture here).
    CAudioSink* sink = nullptr;
};

// Runs the parsed command; the exit code.
int run_cli_command(SCliContext& context);

// The commands, each given the open session where it needs a pedal.
int run_ports(SCliContext& context);
int run_info(SCliContext& context, CPedalSession& session);
int run_list(SCliContext& context, CPedalSession& session);
int run_import(SCliContext& context, CPedalSession& session);
int run_export(SCliContext& context, CPedalSession& session);
int run_delete(SCliContext& context, CPedalSession& session);
int run_rename(SCliContext& context, CPedalSession& session);
int run_move(SCliContext& context, CPedalSession& session);
int run_swap(SCliContext& context, CPedalSession& session);
int run_arrange(SCliContext& context, CPedalSession& session);
int run_loudness(SCliContext& context, CPedalSession& session);
int run_firmware(SCliContext& context, CPedalSession& session);
int run_check_update(SCliContext& context);
int run_backup(SCliContext& context, CPedalSession& session);
int run_restore(SCliContext& context, CPedalSession& session);
int run_sync(SCliContext& context, CPedalSession& session);
int run_play(SCliContext& context, CPedalSession& session);
