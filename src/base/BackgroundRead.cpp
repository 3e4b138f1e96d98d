#include "base/BackgroundRead.h"

namespace tarnwick {

struct ReadThread::State
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> reads;
    bool ending = false;
    bool busy = false;
};

namespace {

void runReads(const std::shared_ptr<ReadThread::State>& state);

} // namespace

ReadThread::~ReadThread()
{
    if (!m_thread.joinable())
        return;
    bool busy = false;
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->ending = true;
        m_state->reads.clear(); // their results report a broken promise to whoever still waits
        busy = m_state->busy;
    }
    m_state->wake.notify_one();
    if (busy && readWaitIsOver())
        leaveBehind();
    else
        m_thread.join();
}

void ReadThread::post(std::function<void()> read)
{
    if (!m_thread.joinable()) {
        m_state = std::make_shared<State>();
        m_thread = std::thread([state = m_state] { runReads(state); });
    }
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->reads.push_back(std::move(read));
    }
    m_state->wake.notify_one();
}

void ReadThread::leaveBehind()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->ending = true;
        m_state->reads.clear();
    }
    m_state->wake.notify_one();
    m_thread.detach();
    m_state.reset();
    noteReadLeftBehind();
}

namespace {

void runReads(const std::shared_ptr<ReadThread::State>& state)
{
    markReadingThread();
    for (;;) {
        std::function<void()> read;
        {
            std::unique_lock lock(state->mutex);
            state->busy = false;
            state->wake.wait(lock, [&] { return state->ending || !state->reads.empty(); });
            if (state->ending)
                break;
            read = std::move(state->reads.front());
            state->reads.pop_front();
            state->busy = true;
        }
        read();
    }
    closeThreadConnections();
}

} // namespace

} // namespace tarnwick
