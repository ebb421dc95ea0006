#pragma once

#include "KeySet.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace store {

// What a session of its own reads for one record set, in one snapshot of the database: how many
// rows follow the keys the record set holds (its first block), and then, block by block, the keys
// of those rows. Shared between the record set's thread and the reader's.
class KeyFeed {
public:
    struct Count {
        int after = 0;               // rows after the keys held when the reading began
        std::optional<qint64> highest; // the table's highest key then, where it was asked for
        bool keysFollow = false;     // the keys of those rows are read too
    };
    // Waits for the count; none when the reader could not give it.
    std::optional<Count> count();

    struct Taken {
        std::vector<qint64> ints;
        QStringList texts;
        QVector<QVector<QVariant>> rows; // the rows of these keys, where whole rows are read
        KeySet::Cursor cursor; // where the reader's seek stands after these keys
        bool moved = false;    // keys were read since the last take: the cursor is new
        bool ended = false;    // nothing more will come: all is read, or the reader failed
    };
    // The keys read since the last take; with `wait`, waits until there are some or the reading
    // has ended.
    Taken take(bool wait);
    // The record set wants no more: the reader stops after the block it is reading.
    void cancel();
    bool cancelled();

    // A whole result read there (KeyReaders::startWhole): `ended` once the reading is over, and
    // `read` with its rows when it was read (not when the reader failed). With `wait`, waits
    // until the reading has ended.
    struct Whole {
        bool ended = false;
        bool read = false;
        Connection::Rows rows;
    };
    Whole takeWhole(bool wait);

private:
    friend class KeyReaders;
    void counted(const Count& count);
    void read(const KeySet& keys, int& handedOver, QVector<QVector<QVariant>>* rows = nullptr);
    // Keys taken from a record set's keys beforehand (keysFrom(), cursor()), handed over later.
    struct Block {
        std::vector<qint64> ints;
        QStringList texts;
        KeySet::Cursor cursor;
    };
    // The keys taken since `handedOver`, which moves on past them.
    static Block blockOf(const KeySet& keys, int& handedOver);
    void read(Block block, QVector<QVector<QVariant>>* rows);
    void end(bool failed);
    void readWhole(Connection::Rows rows);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_taken; // whole rows are read ahead of the record set by a few blocks
    bool m_counted = false;
    bool m_ended = false;
    bool m_failed = false;
    bool m_cancelled = false;
    Count m_count;
    Taken m_pending;
    bool m_wholeRead = false;
    Connection::Rows m_whole;
};

// The sessions that read keys while a window goes on: each a thread with a session of the same
// data source, kept for the next result once it is done. A result's count and keys are read in
// one snapshot of the database (a read-only transaction), which ends as soon as its keys are all
// read; an idle reader holds no transaction. Anything a reader cannot do (its session cannot be
// opened, the server goes) is left to the record set, which reads on its own session as before.
class KeyReaders {
public:
    explicit KeyReaders(const QString& connectionString);
    ~KeyReaders();
    KeyReaders(const KeyReaders&) = delete;
    KeyReaders& operator=(const KeyReaders&) = delete;

    // Starts reading what follows `keys` (a copy is taken): the count, the table's highest key
    // where `numbered`, and then the keys where the result is not numbered or has at most
    // `eager` rows. A result of up to keysWithCount() rows has its keys read before its count is
    // given.
    std::shared_ptr<KeyFeed> start(const KeySet& keys, bool numbered, int eager);
    // Starts reading the rows after `keys`, whole, `block` rows a statement, with their keys: for
    // reading a large result through (an export) while the record set hands on the rows read.
    std::shared_ptr<KeyFeed> startRows(const KeySet& keys, int block);
    // Starts reading the whole result of a statement (a grouped result without a key of its own,
    // whose count needs all of it): its rows and so their count, in one statement.
    std::shared_ptr<KeyFeed> startWhole(const QString& statement);

    static int keysWithCount();
    // For tests: how many keys come with the count, and what a reader does between two blocks
    // (and before it reads a whole result).
    static void setKeysWithCount(int rows);
    static void setBetweenBlocks(std::function<void()> hook);

private:
    struct Job {
        KeySet keys;
        bool numbered = false;
        int eager = 0;
        std::shared_ptr<KeyFeed> feed;
        int rowBlock = 0; // whole rows, this many a statement; 0: the count and keys
        QString whole;    // a whole result, read in one statement
    };
    struct Reader {
        std::thread thread;
        std::deque<Job> jobs;
        bool busy = false;
    };
    void queue(Job job);
    void run(Reader* reader);
    void work(std::unique_ptr<Connection>& session, Job& job);
    void readRows(Connection& session, Job& job);

    QString m_connectionString;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::vector<std::unique_ptr<Reader>> m_readers;
};

} // namespace store
