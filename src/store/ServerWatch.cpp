#include "ServerWatch.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <dirent.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace store {

namespace {

using Clock = std::chrono::steady_clock;

// The one watch of the process. Several sessions may wait at once (a window's, and the readers
// that gather a result's count and keys on sessions of their own), so every guard is watched with
// its own socket and deadline; a guard inside another on the same session ends its wait with the
// outer one's, whichever deadline comes first.
struct Watch {
    struct Wait {
        ServerWatch::Socket socket;
        Clock::time_point deadline;
        bool fired = false; // the socket was shut down because this wait lasted too long
    };
    std::mutex lock;
    std::condition_variable changed;
    std::map<unsigned, Wait> waits; // by ticket
    unsigned lastTicket = 0;

    void run()
    {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            std::optional<Clock::time_point> next;
            for (const auto& [ticket, wait] : waits)
                if (!wait.fired && (!next || wait.deadline < *next))
                    next = wait.deadline;
            if (!next) {
                changed.wait(held);
                continue;
            }
            if (changed.wait_until(held, *next) != std::cv_status::timeout)
                continue; // a wait began or ended: look again
            const Clock::time_point now = Clock::now();
            for (auto& [ticket, wait] : waits) {
                if (wait.fired || wait.deadline > now)
                    continue;
                // The descriptor is still the session's socket (not one opened since under its number).
                struct stat status {};
                if (::fstat(wait.socket.fd, &status) == 0 && S_ISSOCK(status.st_mode) && status.st_ino == wait.socket.inode)
                    ::shutdown(wait.socket.fd, SHUT_RDWR);
                wait.fired = true;
            }
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
    // One session opens at a time, so that a socket another thread opens meanwhile is never
    // taken for this one's.
    static std::mutex opening;
    std::lock_guard<std::mutex> one(opening);
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
    m_ticket = ++w.lastTicket;
    w.waits.emplace(m_ticket, Watch::Wait { socket, Clock::now() + std::chrono::milliseconds(ms) });
    m_armed = true;
    w.changed.notify_all();
}

ServerWatch::Guard::~Guard()
{
    if (!m_armed)
        return;
    Watch& w = watch();
    std::lock_guard<std::mutex> held(w.lock);
    w.waits.erase(m_ticket);
    w.changed.notify_all();
}

bool ServerWatch::Guard::fired() const
{
    if (!m_armed)
        return false;
    Watch& w = watch();
    std::lock_guard<std::mutex> held(w.lock);
    const auto wait = w.waits.find(m_ticket);
    return wait != w.waits.end() && wait->second.fired;
}

} // namespace store
