#pragma once

#include <QString>
#include <functional>
#include <memory>

class CSongStream;

// The yes/no questions an operation must put to the user before it changes the pedal
// (an overwrite, a delete, an older firmware, a restore plan). The window shows a box on
// its own thread, the command line asks on the terminal or takes --yes; an operation only
// asks and goes on or stops.
class CQuestions {
public:
    virtual ~CQuestions() = default;

    // True only when the user says yes.
    [[nodiscard]] virtual bool ask_yes_no(const QString& title, const QString& text) = 0;
    // Makes the song to play: a second copy of it, so made only for a question that is
    // really shown with a Play button. Null when it cannot be made.
    using SongMaker = std::function<std::shared_ptr<const CSongStream>()>;
    // As ask_yes_no, offering to play the song `make_song` makes (a file as the pedal will
    // hold it) before the answer; where nothing can play, asked plainly.
    [[nodiscard]] virtual bool ask_yes_no_playing(const QString& title, const QString& text,
                                                  const SongMaker& /*make_song*/)
    {
        return ask_yes_no(title, text);
    }
};
