#pragma once

#include "base/ConsistentRead.h"
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
    ReadThread() = default;
    ~ReadThread();
    ReadThread(const ReadThread&) = delete;
    ReadThread& operator=(const ReadThread&) = delete;

    void post(std::function<void()> read);
    // Leaves a thread stuck in a read that will not come back: nobody waits
    // for it again, and the next read gets a thread of its own.
    void leaveBehind();

    struct State; // shared with the thread, which may outlive this object

private:
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

// A read of the product database on another thread, started when made and
// taken when needed, so that the waiting thread can keep its windows drawn,
// hear Exit and give up on a read that outlives its limit. It runs on the
// ReadThread given, or on one of its own that ends (closing its connections)
// with it. What the read throws is thrown by take().
// The calling thread's own reading thread, where its recordsets are read.
ReadThread& homeReader();

template <typename T> class BackgroundRead
{
public:
    explicit BackgroundRead(std::function<T()> read)
        : m_ownThread(std::make_unique<ReadThread>()), m_thread(m_ownThread.get())
    {
        start(std::move(read));
    }
    // While a run reads on one connection, the calling thread's own reading thread runs it.
    BackgroundRead(ReadThread& thread, std::function<T()> read) : m_thread(&readerFor(thread))
    {
        start(std::move(read));
    }

    BackgroundRead(BackgroundRead&&) noexcept = default;
    BackgroundRead& operator=(BackgroundRead&&) = delete;
    // An untaken read is waited for (it may hold what its maker is about to
    // free), unless reads have been stopped and it does not come back.
    ~BackgroundRead()
    {
        while (m_result.valid() && m_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (readWaitIsOver()) {
                m_thread->leaveBehind();
                break;
            }
        }
    }

    // Waits for the read, calling `whileWaiting` about every 50 ms meanwhile.
    // A read cancelled or past its limit that does not come back soon after
    // is left behind, and the stop is thrown here.
    T take(const std::function<void()>& whileWaiting = {})
    {
        while (m_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (whileWaiting)
                whileWaiting();
            if (readWaitIsOver()) {
                m_thread->leaveBehind();
                m_result = {};
                throwReadStop();
            }
        }
        return m_result.get();
    }

private:
    void start(std::function<T()> read)
    {
        auto task = std::make_shared<std::packaged_task<T()>>(std::move(read));
        m_result = task->get_future();
        m_thread->post([task] { (*task)(); });
    }

    std::unique_ptr<ReadThread> m_ownThread; // ended after the wait above
    ReadThread* m_thread = nullptr;
    std::future<T> m_result;
};

} // namespace tarnwick
