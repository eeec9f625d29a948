#pragma once

#include "app/app_config.h"
#include "app/firmware_page.h"
#include "app/message_box.h"
#include "app/pedal_watch.h"
#include "app/song_page.h"
#include "app/tandora_qt.h"
#include "app/work_runner.h"
#include "core/firmware_update/firmware_catalog.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>
#include <QTimerEvent>
#include <future>
#include "test_wait.h"

// Drives the window as the timer and the user would, through its pages, its runner and
// its pedal watch, and reaches the pedal through the session the test gave the window.
class CWindowDriver {
public:
    CWindowDriver(TandoraQT& window, CPedalSession& session) : m_window(window), m_session(session) {}
    ~CWindowDriver() { release_work(); }
    CWindowDriver(const CWindowDriver&) = delete;
    CWindowDriver& operator=(const CWindowDriver&) = delete;

    EWorkState work_state() const { return m_window.work_runner().state(); }
    int current_song() const { return m_window.song_page().current_slot(); }
    bool device_changed() const { return m_window.pedal_watch().ports_changed(); }
    void set_device_changed(bool changed) { m_window.pedal_watch().set_ports_changed(changed); }
    CTask* task() { return m_window.work_runner().task(); }

    CUSBConnect& link() { return m_session.link(); }
    CLooperSongData& songs() { return m_session.songs(); }
    // The list shows what the pedal holds now, as after a connect.
    void load_data_from_device()
    {
        EXPECT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
        m_window.song_page().show_slots(0);
    }
    void report(ELooperActionResult result) { show_result(COperationResult::song(result)); }
    std::vector<QString> firmware_files() const
    {
        std::vector<QString> paths;
        for (const SFirmwareEntry& entry : m_window.firmware_page().entries())
            paths.push_back(entry.server_path);
        return paths;
    }
    // The online list fetched again and shown, as at a new connection.
    void init_firmware_list()
    {
        m_window.firmware_page().show_catalog(
            fetch_firmware_catalog(pedal_identity(m_session).product_id, nullptr));
    }

    // Port changes are then only what the test reports with set_device_changed.
    void stop_detection() { m_window.pedal_watch().stop_detection(); }
    // Ticks then come only from tick(), with the id the window knows.
    void stop_real_timer() { m_window.killTimer(m_window.timer_id()); }
    // One timer tick, and the look it started, if any, run to its end.
    void tick() { tick_with_id(m_window.timer_id()); }
    void tick_with_id(int id)
    {
        const bool looking = work_state() == WORK_CONNECT;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(&m_window, &event);
        // A tick while a look shows its box (from inside that box) starts nothing to wait for.
        if (!looking) {
            wait_or_fail([this] { return work_state() != WORK_CONNECT; }, 120000);
        }
    }
    void wait_until_idle()
    {
        wait_or_fail([this] { return m_window.work_runner().idle(); }, 120000);
    }
    // A command of `state` that runs until released: the window is busy meanwhile.
    void hold_work(EWorkState state)
    {
        m_release = std::promise<void>();
        m_held = true;
        m_window.work_runner().start(
            state,
            [released = m_release.get_future().share()](CTask&) {
                released.wait();
                return COperationResult::song(LOOPER_RESULT_OK);
            },
            [](const COperationResult&) {});
    }
    void release_work()
    {
        if (!m_held)
            return;
        m_held = false;
        m_release.set_value();
        wait_until_idle();
    }

private:
    TandoraQT& m_window;
    CPedalSession& m_session;
    bool m_held = false;
    std::promise<void> m_release;
};
