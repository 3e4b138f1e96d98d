#pragma once

#include "base/Recordset.h"

#include <chrono>
#include <functional>
#include <future>

namespace tarnwick {

// A read of the product database on a thread of its own, started when made
// and taken when needed, so that the waiting thread can keep its windows
// drawn and hear Exit while a long read runs. The thread opens its own
// connections (a connection belongs to the thread that made it) and closes
// them when the read ends. What the read throws is thrown by take().
template <typename T> class BackgroundRead
{
public:
    explicit BackgroundRead(std::function<T()> read)
        : m_result(std::async(std::launch::async, [read = std::move(read)] {
              struct CloseConnections
              {
                  ~CloseConnections() { closeThreadConnections(); }
              } closing;
              return read();
          }))
    {
    }

    // Waits for the read, calling `whileWaiting` about every 50 ms meanwhile.
    T take(const std::function<void()>& whileWaiting = {})
    {
        while (whileWaiting && m_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            whileWaiting();
        return m_result.get();
    }

private:
    std::future<T> m_result; // waited for when dropped untaken
};

} // namespace tarnwick
