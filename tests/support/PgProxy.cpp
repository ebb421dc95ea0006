#include "PgProxy.h"

#include <QtGlobal>
#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

PgProxy::PgProxy(const QString& socketFile)
    : m_socketFile(socketFile.toUtf8())
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listener, 16) != 0)
        qFatal("the proxy cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (::pipe(m_wake) != 0)
        qFatal("the proxy has no pipe");
    m_thread = std::thread([this] { run(); });
}

PgProxy::~PgProxy()
{
    m_stop = true;
    wake();
    m_thread.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void PgProxy::wake()
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
}

void PgProxy::loseReplyTo(const QByteArray& marker, bool thenRefuse)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_marker = marker;
    m_refuseAfterLoss = thenRefuse;
}

void PgProxy::holdReplyTo(const QByteArray& marker)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_holdMarker = marker;
}

void PgProxy::cutAll()
{
    m_cut = true;
    wake();
    while (m_cut)
        std::this_thread::yield();
}

void PgProxy::run()
{
    struct Session {
        int client;
        int server;
        bool losing = false;
        bool holding = false;
    };
    std::vector<Session> sessions;
    auto close = [](Session& s) {
        ::close(s.client);
        ::close(s.server);
        s.client = s.server = -1;
    };
    while (!m_stop) {
        if (m_cut) {
            for (Session& s : sessions)
                close(s);
            sessions.clear();
            m_cut = false;
        }
        std::vector<pollfd> fds { { m_listener, POLLIN, 0 }, { m_wake[0], POLLIN, 0 } };
        for (const Session& s : sessions) {
            fds.push_back({ s.client, POLLIN, 0 });
            fds.push_back({ s.server, POLLIN, 0 });
        }
        if (::poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            [[maybe_unused]] const auto got = ::read(m_wake[0], drain, sizeof drain);
        }
        for (size_t i = 0; i < sessions.size(); ++i) {
            Session& s = sessions[i];
            for (int side = 0; side < 2 && s.client >= 0; ++side) {
                const pollfd& p = fds[2 + 2 * i + side];
                if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buffer[65536];
                const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(s);
                    break;
                }
                if (side == 0) {
                    {
                        std::lock_guard<std::mutex> guard(m_lock);
                        if (!m_marker.isEmpty() && QByteArray::fromRawData(buffer, n).contains(m_marker)) {
                            s.losing = true;
                            m_marker.clear();
                        }
                        if (!m_holdMarker.isEmpty() && QByteArray::fromRawData(buffer, n).contains(m_holdMarker)) {
                            s.holding = true;
                            m_holdMarker.clear();
                        }
                    }
                    [[maybe_unused]] const auto sent = ::write(s.server, buffer, size_t(n));
                } else if (s.holding) {
                    // Read and dropped: the server is not held up, the program hears nothing.
                } else if (s.losing) {
                    close(s); // the server did it; its reply is lost with the session
                    std::lock_guard<std::mutex> guard(m_lock);
                    if (m_refuseAfterLoss)
                        m_refusing = true;
                } else {
                    [[maybe_unused]] const auto sent = ::write(s.client, buffer, size_t(n));
                }
            }
        }
        std::erase_if(sessions, [](const Session& s) { return s.client < 0; });
        if (fds[0].revents & POLLIN) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                continue;
            ++m_attempts;
            if (m_refusing) {
                ::close(client);
                continue;
            }
            const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, m_socketFile.constData(), sizeof address.sun_path - 1);
            if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            sessions.push_back({ client, server });
            ++m_sessions;
        }
    }
    for (Session& s : sessions)
        close(s);
}
