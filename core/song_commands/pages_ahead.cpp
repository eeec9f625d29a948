#include "core/song_commands/pages_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

// 256 KiB: some 65 pages of a slot, a few milliseconds of conversion, so a song of
// minutes changes hands a few hundred times, not once a page.
constexpr size_t kChunkBytes = 256 * 1024;
constexpr size_t kChunksAhead = 4;

}  // namespace

CPagesAhead::CPagesAhead(uint64_t length, Fill fill) : m_length(length), m_fill(std::move(fill)) {}

CPagesAhead::~CPagesAhead()
{
    finish();
}

bool CPagesAhead::start()
{
    try {
        m_thread = std::thread(&CPagesAhead::make_chunks, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CPagesAhead::finish()
{
    m_finished = true;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CPagesAhead::make_chunks()
{
    for (uint64_t made = 0; made < m_length;) {
        std::vector<unsigned char> chunk;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || m_ready.size() < kChunksAhead; });
            if (m_stopping)
                return;
            if (!m_spare.empty()) {
                chunk = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        const size_t size = size_t(std::min<uint64_t>(kChunkBytes, m_length - made));
        chunk.resize(size);
        const bool filled = m_fill(chunk.data(), size);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (filled)
                m_ready.push_back(std::move(chunk));
            else
                m_failed = true;
        }
        m_changed.notify_all();
        if (!filled)
            return;
        made += size;
    }
}

bool CPagesAhead::next(unsigned char* out, size_t count)
{
    if (m_finished || count > m_length - m_handed)
        return false;
    while (count > 0) {
        if (m_taken == m_current.size()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_current.empty()) {
                m_spare.push_back(std::move(m_current));
                m_current.clear();
                m_taken = 0;
            }
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_ready.empty() || m_failed || m_stopping; });
            if (m_ready.empty())
                return false;
            m_current = std::move(m_ready.front());
            m_ready.pop_front();
            m_taken = 0;
        }
        const size_t take = std::min(count, m_current.size() - m_taken);
        std::copy_n(m_current.data() + m_taken, take, out);
        m_taken += take;
        m_handed += take;
        out += take;
        count -= take;
    }
    return true;
}
