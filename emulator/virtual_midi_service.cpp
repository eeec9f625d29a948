#include "emulator/virtual_midi_system.h"

#include "emulator/virtual_midi_state.h"

#include <algorithm>

// The service itself: reachable or not, and stopped.

void CVirtualMidiSystem::check_reachable()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_reachable)
        return;
    ++m_refused_clients;
    throw CMidiError("error creating ALSA sequencer client object");
}

unsigned int CVirtualMidiSystem::refused_client_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_refused_clients;
}

void CVirtualMidiSystem::set_reachable(bool reachable)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reachable = reachable;
}

unsigned int CVirtualMidiSystem::generation() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

void CVirtualMidiSystem::stop_service()
{
    std::vector<std::shared_ptr<SInputState>> watchers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_reachable = false;
        watchers.swap(m_watchers);
    }
    for (const auto& input : watchers) {
        std::lock_guard<std::mutex> callback_lock(input->callback_mutex);
        input->end_callback(input->end_user);
    }
}

void CVirtualMidiSystem::watch_service(const std::shared_ptr<SInputState>& input)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (input->generation == m_generation) {
            m_watchers.push_back(input);
            return;
        }
    }
    std::lock_guard<std::mutex> callback_lock(input->callback_mutex);
    input->end_callback(input->end_user);
}

void CVirtualMidiSystem::unwatch_service(const std::shared_ptr<SInputState>& input)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_watchers.erase(std::remove(m_watchers.begin(), m_watchers.end(), input), m_watchers.end());
}
