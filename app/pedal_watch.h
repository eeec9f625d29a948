#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class CPedalSession;
class CPortWatch;
class CWorkRunner;
struct SFirmwareCatalog;
struct SPedalConnect;

// Finds the pedal and keeps track of it. A look runs as work on the runner, off the GUI
// thread and without Cancel: the first right away, then at a timer tick whenever the MIDI
// ports changed, and for ten ticks after a link was lost (time to re-plug a cable that
// slipped out, not a search every second for ever). A tick while other work runs waits for
// the next one.
class CPedalWatch : public QObject {
    Q_OBJECT

public:
    // What the front end shows after a look changed the connection, the look's messages
    // included: `catalog` is the online firmware list for the pedal found, null when it was
    // lost. A look that changed nothing shows its messages itself.
    using Changed = std::function<void(const SPedalConnect& connect, const SFirmwareCatalog* catalog)>;

    CPedalWatch(CPedalSession& session, CWorkRunner& runner, Changed on_changed, QObject* parent);
    ~CPedalWatch() override;
    CPedalWatch(const CPedalWatch&) = delete;
    CPedalWatch& operator=(const CPedalWatch&) = delete;

    // One timer tick: looks when there is reason to.
    void tick();
    // True: the next tick looks, as after a port change; the pedal may have gone meanwhile
    // without one (re-plugged within one look of the detection thread).
    void set_ports_changed(bool changed) { m_ports_changed = changed; }
    // Port changes are from now on only what the caller reports (tests).
    void stop_detection();
    bool ports_changed() const { return m_ports_changed; }

private:
    void look();

    CPedalSession& m_session;
    CWorkRunner& m_runner;
    Changed m_on_changed;
    // Set by the detection thread when the MIDI ports change, consumed by a tick.
    std::atomic<bool> m_ports_changed{true};
    std::unique_ptr<CPortWatch> m_port_watch;
    static constexpr int kReconnectTicks = 10;
    int m_reconnect_ticks = 0;
};
