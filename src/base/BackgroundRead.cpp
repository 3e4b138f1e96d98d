#include "base/BackgroundRead.h"

namespace tarnwick {

ReadThread::ReadThread() : m_thread([this] { run(); }) {}

ReadThread::~ReadThread()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
        m_reads.clear(); // their results report a broken promise to whoever still waits
    }
    m_wake.notify_one();
    m_thread.join();
}

void ReadThread::post(std::function<void()> read)
{
    {
        const std::lock_guard lock(m_mutex);
        m_reads.push_back(std::move(read));
    }
    m_wake.notify_one();
}

void ReadThread::run()
{
    for (;;) {
        std::function<void()> read;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ending || !m_reads.empty(); });
            if (m_ending)
                break;
            read = std::move(m_reads.front());
            m_reads.pop_front();
        }
        read();
    }
    closeThreadConnections();
}

} // namespace tarnwick
