#pragma once

#include <functional>
#include <sys/types.h>

namespace store {

// Keeps a statement from waiting without end for a server that no longer answers.
//
// A session waits for its server's reply inside the driver (psqlODBC, libpq), in a poll without a
// time-out. Neither the server's own statement time-out (the server is gone) nor TCP keep-alives
// (the server's host, or a proxy in the way, may still acknowledge them while no reply comes) nor
// SQLCancel (it asks the server, which does not answer) can end that wait. The watch does: a
// thread of its own shuts the session's socket down when a wait lasts too long, and the driver
// then returns at once with a lost connection, which the store tells as such.
class ServerWatch {
public:
    // The socket of a session: a connected stream socket that `open` created. The driver says
    // nothing of its socket, so the sockets of the process are compared before and after; among
    // several new ones (a proxy of the same process, say) the one with TCP keep-alives on, as
    // libpq sets them, is the session's. -1 when it cannot be told.
    struct Socket {
        int fd = -1;
        ino_t inode = 0;
    };
    static Socket socketOpenedBy(const std::function<void()>& open);

    // For as long as it lives: a wait on `socket` longer than `ms` milliseconds ends it.
    class Guard {
    public:
        Guard(const Socket& socket, int ms);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        // Whether the socket was shut down because the wait lasted too long.
        bool fired() const;

    private:
        bool m_armed = false;
        unsigned m_ticket = 0;
    };
};

} // namespace store
