#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class CSongStream;

// A question's lines in columns (a plan, a line per slot): a heading per column and rows
// of as many cells.
struct SQuestionTable {
    QStringList headings;
    std::vector<QStringList> rows;
};

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
    // As ask_yes_no, with `table` under `text`. `in_words` tells the table's lines too, for
    // a user who is shown no table: that is what is asked where none can be shown.
    [[nodiscard]] virtual bool ask_yes_no_table(const QString& title, const QString& /*text*/,
                                                const SQuestionTable& /*table*/, const QString& in_words)
    {
        return ask_yes_no(title, in_words);
    }
};
