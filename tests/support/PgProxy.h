#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

// A TCP proxy in front of the test cluster's unix socket: a network and a server that fail on
// cue. A session through it can lose the server's reply to a chosen statement (after the server
// has done it), never get that reply while the session stays open, be cut at once, or find no
// server to reach.
class PgProxy {
public:
    // `socketFile` is the cluster's socket (…/.s.PGSQL.5432).
    explicit PgProxy(const QString& socketFile);
    ~PgProxy();
    PgProxy(const PgProxy&) = delete;
    PgProxy& operator=(const PgProxy&) = delete;

    quint16 port() const { return m_port; }
    int sessions() const { return m_sessions; } // carried since it started
    int attempts() const { return m_attempts; } // connections tried, refused ones included

    // The next statement sent that contains `marker` reaches the server; the server's reply is
    // dropped and the session is cut. With thenRefuse, the server is unreachable from then on
    // (until refuse(false)), as when it goes down in the middle of a save.
    void loseReplyTo(const QByteArray& marker, bool thenRefuse = false);
    // The next statement sent that contains `marker` reaches the server, and nothing the server
    // sends on that session reaches the program from then on; the session stays open until the
    // program gives it up. So it is when the server's host or the network path dies mid-reply.
    void holdReplyTo(const QByteArray& marker);
    // Every session carried now is cut, as a server restart does.
    void cutAll();
    // New sessions are refused (closed as soon as they come), as while a server is down.
    void refuse(bool refusing) { m_refusing = refusing; }

private:
    void run();
    void wake();

    QByteArray m_socketFile;
    int m_listener = -1;
    int m_wake[2] = { -1, -1 };
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_refusing { false };
    std::atomic<bool> m_cut { false };
    std::atomic<int> m_sessions { 0 };
    std::atomic<int> m_attempts { 0 };
    std::mutex m_lock;
    QByteArray m_marker;
    bool m_refuseAfterLoss = false;
    QByteArray m_holdMarker;
    std::thread m_thread;
};
