#pragma once

#include "base/Recordset.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace tarnwick {

// A thread that runs reads one after another and keeps its connections open
// between them, so that a walk reading chunk after chunk connects once (over
// a network a connection takes some round trips to make). Ending it drops
// the reads not yet begun, closes its connections and ends the thread; the
// read in flight is waited for by its BackgroundRead.
class ReadThread
{
public:
    ReadThread();
    ~ReadThread();
    ReadThread(const ReadThread&) = delete;
    ReadThread& operator=(const ReadThread&) = delete;

    void post(std::function<void()> read);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_reads;
    bool m_ending = false;
    std::thread m_thread;
};

// A read of the product database on another thread, started when made and
// taken when needed, so that the waiting thread can keep its windows drawn
// and hear Exit while a long read runs. It runs on the ReadThread given, or
// on one of its own that ends (closing its connections) with it. What the
// read throws is thrown by take().
template <typename T> class BackgroundRead
{
public:
    explicit BackgroundRead(std::function<T()> read) : m_ownThread(std::make_unique<ReadThread>())
    {
        start(*m_ownThread, std::move(read));
    }
    BackgroundRead(ReadThread& thread, std::function<T()> read) { start(thread, std::move(read)); }

    BackgroundRead(BackgroundRead&&) noexcept = default;
    BackgroundRead& operator=(BackgroundRead&&) = delete;
    // An untaken read is waited for: it may hold what its maker is about to free.
    ~BackgroundRead()
    {
        if (m_result.valid())
            m_result.wait();
    }

    // Waits for the read, calling `whileWaiting` about every 50 ms meanwhile.
    T take(const std::function<void()>& whileWaiting = {})
    {
        while (whileWaiting && m_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            whileWaiting();
        return m_result.get();
    }

private:
    void start(ReadThread& thread, std::function<T()> read)
    {
        auto task = std::make_shared<std::packaged_task<T()>>(std::move(read));
        m_result = task->get_future();
        thread.post([task] { (*task)(); });
    }

    std::unique_ptr<ReadThread> m_ownThread; // ended after the wait above
    std::future<T> m_result;
};

} // namespace tarnwick
