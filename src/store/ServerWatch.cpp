#include "ServerWatch.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <dirent.h>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace store {

namespace {

using Clock = std::chrono::steady_clock;

// The one watch of the process. The program waits on one statement at a time, so one wait is
// watched at a time; a guard inside another puts the outer one back when it goes.
struct Watch {
    std::mutex lock;
    std::condition_variable changed;
    bool armed = false;
    ServerWatch::Socket socket;
    Clock::time_point deadline;
    unsigned ticket = 0;      // the guard now watched
    unsigned firedTicket = 0; // the last guard whose wait was ended
    bool running = false;

    void run()
    {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            if (!armed) {
                changed.wait(held);
                continue;
            }
            const unsigned watched = ticket;
            if (changed.wait_until(held, deadline) != std::cv_status::timeout || !armed || ticket != watched)
                continue;
            // The descriptor is still the session's socket (not one opened since under its number).
            struct stat status {};
            if (::fstat(socket.fd, &status) == 0 && S_ISSOCK(status.st_mode) && status.st_ino == socket.inode)
                ::shutdown(socket.fd, SHUT_RDWR);
            firedTicket = watched;
            armed = false;
        }
    }
};

Watch& watch()
{
    // Never destroyed: its thread waits for the whole run of the process.
    static Watch* instance = [] {
        auto* made = new Watch;
        std::thread([made] { made->run(); }).detach();
        return made;
    }();
    return *instance;
}

// The connected stream sockets of the process, by descriptor.
std::map<int, ino_t> streamSockets()
{
    std::map<int, ino_t> out;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return out;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(dir))
            continue;
        struct stat status {};
        if (::fstat(int(fd), &status) != 0 || !S_ISSOCK(status.st_mode))
            continue;
        int type = 0, listening = 0;
        socklen_t length = sizeof type;
        if (::getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
            continue;
        length = sizeof listening;
        if (::getsockopt(int(fd), SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 && listening)
            continue;
        out.emplace(int(fd), status.st_ino);
    }
    ::closedir(dir);
    return out;
}

bool keepsAlive(int fd)
{
    int on = 0;
    socklen_t length = sizeof on;
    return ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &length) == 0 && on;
}

} // namespace

ServerWatch::Socket ServerWatch::socketOpenedBy(const std::function<void()>& open)
{
    const auto before = streamSockets();
    open();
    std::vector<Socket> opened, alive;
    for (const auto& [fd, inode] : streamSockets()) {
        const auto old = before.find(fd);
        if (old != before.end() && old->second == inode)
            continue;
        opened.push_back({ fd, inode });
        if (keepsAlive(fd))
            alive.push_back({ fd, inode });
    }
    if (alive.size() == 1)
        return alive.front();
    if (opened.size() == 1)
        return opened.front();
    return {};
}

ServerWatch::Guard::Guard(const Socket& socket, int ms)
{
    if (socket.fd < 0 || ms <= 0)
        return;
    Watch& w = watch();
    std::lock_guard<std::mutex> held(w.lock);
    if (w.armed)
        return; // an outer wait is watched already, and ends this one with it
    w.armed = true;
    w.socket = socket;
    w.deadline = Clock::now() + std::chrono::milliseconds(ms);
    m_ticket = ++w.ticket;
    m_armed = true;
    w.changed.notify_all();
}

ServerWatch::Guard::~Guard()
{
    if (!m_armed)
        return;
    Watch& w = watch();
    std::lock_guard<std::mutex> held(w.lock);
    if (w.ticket == m_ticket)
        w.armed = false;
    w.changed.notify_all();
}

bool ServerWatch::Guard::fired() const
{
    if (!m_armed)
        return false;
    Watch& w = watch();
    std::lock_guard<std::mutex> held(w.lock);
    return w.firedTicket == m_ticket;
}

} // namespace store
