#pragma once

#include <QString>

// Starting a demo pedal afresh forgets the songs it holds: both front ends ask first, with
// these words, and reset only when the answer is yes.
[[nodiscard]] QString demo_reset_title();
[[nodiscard]] QString demo_reset_question(const QString& model);
