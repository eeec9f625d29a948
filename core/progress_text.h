#pragma once

#include <QString>
#include <cstdint>

// "12.3 of 39.4 MB · 640 kB/s · 0:45 left": bytes moved of all, the speed since the
// transfer began, and the time left at that speed. MB is 2^20 bytes and kB 2^10, as the
// song list counts them. Speed and time left are left out until a transfer has run
// `seconds` > 0 with bytes moved; the time left also when the total is not known.
QString transfer_text(uint64_t done, uint64_t total, double seconds);
