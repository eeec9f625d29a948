#pragma once

// Prints "idle wakeups per s while waiting": the context switches of the whole process
// per second while the device link awaits a reply that a silent emulated pedal never
// sends. The window's process sits in such waits for seconds during every erase.
void print_reply_wait_wakeups();
