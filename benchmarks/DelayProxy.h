#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick::bench {

// A TCP proxy on 127.0.0.1 that holds every chunk of bytes for half the added
// round trip in each direction, so a database on this machine answers as one
// a network away would. (The kernel here has no netem.) It runs on its own
// threads until it is destroyed.
class DelayProxy
{
public:
    // Forwards a port of its own choosing to `targetPort`, adding `roundTrip`.
    DelayProxy(int targetPort, std::chrono::microseconds roundTrip);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return m_port; }

private:
    void acceptLoop();
    void pump(int from, int to);

    int m_target;
    std::chrono::microseconds m_oneWay;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
    std::vector<int> m_sockets;
};

} // namespace tarnwick::bench
