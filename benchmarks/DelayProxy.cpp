#include "DelayProxy.h"

#include <condition_variable>
#include <deque>
#include <stdexcept>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::bench {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void noDelay(int socket)
{
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool writeAll(int socket, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

} // namespace

DelayProxy::DelayProxy(int targetPort, std::chrono::microseconds roundTrip)
    : m_target(targetPort), m_oneWay(roundTrip / 2)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the delaying proxy cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

DelayProxy::~DelayProxy()
{
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_acceptor.join();
    {
        const std::lock_guard lock(m_mutex);
        for (const int socket : m_sockets)
            ::shutdown(socket, SHUT_RDWR);
    }
    for (std::thread& pump : m_pumps)
        pump.join();
    for (const int socket : m_sockets)
        ::close(socket);
}

void DelayProxy::acceptLoop()
{
    for (;;) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 200) < 0 || m_stopping)
            return;
        if (!(waiting.revents & POLLIN))
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in target = loopback(m_target);
        if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            continue;
        }
        noDelay(client);
        noDelay(server);
        const std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_sockets.push_back(server);
        m_pumps.emplace_back([this, client, server] { pump(client, server); });
        m_pumps.emplace_back([this, client, server] { pump(server, client); });
    }
}

// One direction: a reader stamps each chunk with the time it may leave, a
// writer sends it then. Order is kept, and a stream of chunks is delayed once,
// not once per chunk.
void DelayProxy::pump(int from, int to)
{
    struct Chunk
    {
        Clock::time_point due;
        std::string bytes;
    };
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Chunk> queue;
    bool ended = false;
    std::thread writer([&] {
        for (;;) {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return ended || !queue.empty(); });
            if (queue.empty())
                break;
            Chunk chunk = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            std::this_thread::sleep_until(chunk.due);
            if (!writeAll(to, chunk.bytes.data(), chunk.bytes.size()))
                break;
        }
        ::shutdown(to, SHUT_WR);
    });
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        const std::lock_guard lock(mutex);
        queue.push_back({Clock::now() + m_oneWay, std::string(buffer, size_t(got))});
        ready.notify_one();
    }
    {
        const std::lock_guard lock(mutex);
        ended = true;
        ready.notify_one();
    }
    writer.join();
}

} // namespace tarnwick::bench
