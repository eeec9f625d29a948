#include "demo/demo_start.h"

#include "core/front_end_options.h"
#include "core/online/update_server.h"
#include "demo/demo_reset.h"
#include "demo/starter_songs.h"
#include "device/rtmidi_backend.h"

#include <QLoggingCategory>

void apply_front_end_options(const SFrontEndOptions& options)
{
    // The program narrates its work in the default category's debug lines; rules in
    // QT_LOGGING_RULES still override these.
    QLoggingCategory::setFilterRules(options.verbose ? QStringLiteral("default.debug=true")
                                                     : QStringLiteral("default.debug=false"));
    // Every MIDI port the program opens from now on is on the service the options chose.
    choose_rtmidi_api(options.midi_api);
    // The address given, the built-in one, or, in demo mode without one given, none, so
    // nothing is fetched.
    if (!options.update_server.isEmpty())
        UPDATE_SERVER::set_base(options.update_server);
    else if (options.demo)
        UPDATE_SERVER::set_base(QString());
}

SDemoStart start_demo_pedal(const SFrontEndOptions& options, const DemoQuestion& ask)
{
    SDemoStart start;
    if (!options.demo)
        return start;
    if (options.demo_reset && !ask(demo_reset_title(), demo_reset_question(options.model))) {
        start.failed = true;
        return start;
    }
    start.pedal = std::make_unique<CDemoPedal>(
        CDemoPedal::SSettings::of(options.product_id, options.instant, options.demo_reset));
    const EDemoFlashResult started = start.pedal->start(give_starter_songs);
    if (started != EDemoFlashResult::OK && started != EDemoFlashResult::NO_FILE) {
        start.pedal.reset();
        start.failed = true;
        start.why = demo_flash_result_text(started);
    }
    return start;
}
