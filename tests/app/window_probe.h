#pragma once

#include "app/tandora_qt.h"

#include <QCoreApplication>
#include <QTimerEvent>

// Reaches into the window where a test must set up a state that only a running action
// or the detection thread would produce, and fires the connection timer without
// waiting a second for it.
class CTandoraQTProbe {
public:
    explicit CTandoraQTProbe(TandoraQT& window) : m_window(window) {}

    TandoraQT::EWorkState work_state() const { return m_window.m_workState; }
    void set_work_state(TandoraQT::EWorkState state) { m_window.m_workState = state; }
    int current_song() const { return m_window.m_nCurSong; }
    bool device_changed() const { return m_window.m_bDevChanged; }
    void set_device_changed(bool changed) { m_window.m_bDevChanged = changed; }
    int timer_id() const { return m_window.m_nTimerId; }

    CUSBConnect& link() { return m_window.m_session.link(); }
    CLooperSongData& songs() { return m_window.m_session.songs(); }
    void update_window_title() { m_window.update_window_title(); }
    void load_data_from_device() { m_window.load_data_from_device(); }
    void report(ELooperActionResult result) { m_window.report(result); }
    CTask* task() { return m_window.m_task.get(); }

    const std::vector<QString>& firmware_files() const { return m_window.m_lstFirmwareFile; }
    void init_firmware_list() { m_window.init_firmware_list(); }

    // Port changes are then only what the test reports with set_device_changed.
    void stop_detection() { m_window.m_pDetectThread.reset(); }
    // Ticks then come only from tick(), with the id the window knows.
    void stop_real_timer() { m_window.killTimer(m_window.m_nTimerId); }
    void tick() { tick_with_id(m_window.m_nTimerId); }
    void tick_with_id(int id)
    {
        QTimerEvent event(id);
        QCoreApplication::sendEvent(&m_window, &event);
    }

private:
    TandoraQT& m_window;
};
