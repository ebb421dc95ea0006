#pragma once

#include "Connection.h"
#include "Schema.h"
#include "Sql.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace store {

class KeyFeed;

// The keys of a result in the order of its statement: the membership and the order that a record
// set keeps from one refresh to the next, as a keyset-driven cursor does. Rows are then read by
// key, so a row that someone else inserts or deletes meanwhile never moves the rows around it.
//
// The keys after the first block are taken by seeking on the last key read ("the rows after
// (学号, 编号) = ('2006001', 17)"), which an index on the order answers at any depth, never by
// position. Integer keys take 8 bytes each: the 2,000,000 keys of the whole score table are 16 MB.
// A key is taken once: a row that moved behind the keys already taken (its sort column changed
// here or by someone else) keeps its first place.
class KeySet {
public:
    // How the keys of one statement are read.
    struct Plan {
        const Table* table = nullptr;
        bool textKeys = false;
        QString keyColumn;   // the key's name among the fields
        QString keyExpr;     // the key as the statement names it (a.编号 in a join)
        QString from, where; // the statement's FROM and WHERE clauses
        QString orderBy;     // the statement's order with the key added: the order is total
        // Whether further keys can be sought after the last one read: the order is at most one
        // column of the table besides the key, in one direction. Otherwise every key is read at
        // once, in one statement.
        bool seekable = false;
        QString sortColumn;  // that column's name among the fields, empty when ordered by key only
        QString sortExpr;
        bool sortNullable = false;
        bool descending = false;
    };
    // The plan for an analysed select statement; none when the store cannot tell its rows apart
    // (a grouped or joined result without a key of its own).
    static std::optional<Plan> plan(const Sql::SelectShape& shape);

    // How many keys one statement takes while browsing: the first block, the most at once, and
    // how far ahead a place must be to be reached by a jump.
    static void setBlockSizes(int first, int largest, int jump);
    // The first block and the most keys one statement of a session of its own reads.
    static int firstBlock();
    static int largestBlock();

    KeySet() = default;
    KeySet(const KeySet& other);
    KeySet& operator=(const KeySet& other);
    ~KeySet();

    void start(const Plan& plan, Engine engine);
    // The keys of the first rows, read with the rows themselves; more follow after the last.
    void takeFirst(const QVector<QVariant>& keys, const QVariant& lastSortValue);

    int size() const { return m_text ? int(m_texts.size()) : int(m_ints.size()); }
    bool complete() const { return m_complete; }
    QVariant at(int index) const;
    // Reads keys until there are more than `index` or the result has no more (a place far ahead is
    // reached by a jump that leaves the keys before it to require()). Whole keysets are read in one
    // statement; a large one in blocks, so that no driver holds millions at once.
    void readTo(Connection& db, int index);
    void readAll(Connection& db, bool oneStatement);
    // Only keys up to this one are taken (rows numbered by the database: newer rows are not
    // part of this result).
    void setBound(qint64 highest) { m_bound = highest; }
    void truncate(int size);

    // What this record set did itself.
    void remove(int index);
    void replace(int index, const QVariant& key);
    void markSeen(const QVariant& key);

    // Makes sure the keys of places [begin, end) are known: read up to there, and those skipped
    // on the way read now. `total` is the count of the result: a place near its end is reached
    // from the end.
    void require(Connection& db, int begin, int end, int total);

    // The keys still to come may be read by a session of its own (KeyReaders): the statement
    // that counts them (its columns: the count; the highest key of the table, where asked for;
    // how many parts make up the count that a server keeps of a whole table, to be folded when
    // they are many: RowCounts), the next block of them, and the keys from place `from` on with
    // where the seek stands, for handing over.
    QString remainingCountStatement(bool withHighest, bool rowCountsKept) const;
    // After that count: folds the parts of a kept count when they are many (`parts` is the
    // count's third column).
    void afterCount(Connection& db, const QVariant& parts) const;
    // The next rows after the keys taken, whole ("select *" of the statement's tables), their
    // keys taken as a block of keys would be: for reading a large result through once. Only
    // the rows whose keys were taken are answered.
    Connection::Rows readRows(Connection& db, int limit);
    // The same, its rows not yet made: packed.rows(&taken) makes them, on any thread.
    struct PackedRows {
        Connection::Packed packed;
        std::vector<int> taken; // the places of the rows whose keys were taken
    };
    PackedRows readPackedRows(Connection& db, int limit);
    // Takes the keys that jumps skipped.
    void fillGaps(Connection& db);
    void readBlock(Connection& db, int limit) { readChunk(db, limit); }
    struct Cursor {
        int segment = 0;
        bool anchored = false;
        QVariant anchorKey, anchorSort;
        bool complete = false;
        // How many text keys the copy that reads had seen when it was made: while the original
        // has seen no more, the keys handed over need no looking for again.
        qsizetype seenAtCopy = -1;
    };
    Cursor cursor() const;
    void keysFrom(int from, std::vector<qint64>& ints, QStringList& texts) const;
    // Keys come from that session until it has read them all or stops: reading further waits for
    // it, and goes on on the caller's own session from where it stopped if it failed.
    void follow(std::shared_ptr<KeyFeed> feed);
    bool following() const { return m_feed != nullptr; }
    // Takes keys that a session of its own handed over (KeyFeed::take), with where its seek stands.
    void takeHandedOver(const std::vector<qint64>& ints, const QStringList& texts, const Cursor& cursor);
    // The session stops reading for this result (a refresh, or the record set goes).
    void stopFollowing();

private:
    enum class Segment { KeyOnly, Values, Nulls };
    // Rows after one key and before another, in the order of a segment.
    struct Range {
        bool after = false;
        QVariant afterKey, afterSort;
        bool before = false;
        bool throughBefore = false; // the row at `before` is in the range too
        QVariant beforeKey, beforeSort;
    };
    // Places whose keys were skipped by a jump: between the key before `begin` and the key at `end`.
    struct Gap {
        int begin = 0, end = 0;
        Segment segment = Segment::KeyOnly;
        Range start;
        QVariant endKey, endSort;
    };
    static constexpr qint64 kUnknown = std::numeric_limits<qint64>::min();     // skipped, not read yet
    static constexpr qint64 kMissing = std::numeric_limits<qint64>::min() + 1; // gone since the count

    QString chunkStatement(int limit) const;
    QStringList rangeConditions(Segment segment, const Range& range) const;
    QString rangeStatement(Segment segment, const Range& range, int limit, int offset, bool backwards = false,
        bool wholeRows = false) const;
    Range cursorRange() const;
    // After a block that read `rows` of `limit`: the next block starts after the last key read,
    // or, when the block was short, with the next segment.
    void advance(int rows, int limit, const QVector<QVariant>& last);
    // Takes what the session of its own has read; with `wait`, waits until it has read more.
    // False once it has stopped following.
    bool takeFed(bool wait);
    // lookedFor: the keys were looked for against everything this key set has seen.
    void takeTexts(const QStringList& keys, bool lookedFor = false);
    void takeInts(const std::vector<qint64>& keys);
    Connection::Keys read(Connection& db, const QString& statement, int limit) const;
    void readChunk(Connection& db, int limit);
    bool jump(Connection& db, int index);
    bool readTail(Connection& db, int begin, int total);
    void fill(Connection& db, int gapIndex);
    void split(Connection& db, int gapIndex, int begin, int end);
    bool takeInt(qint64 key);
    Connection::Keys readPostgres(Connection& db, const QString& statement) const;
    bool see(qint64 key);
    bool see(const QString& key);

    Plan m_plan;
    Engine m_engine = Engine::SQLite;
    bool m_text = false;
    std::vector<qint64> m_ints;
    QStringList m_texts;
    bool m_complete = true;

    // Where the next keys are sought: the segments of the order (rows whose sort column is null
    // come first or last, as the engine sorts them), the current one, and the last row read in it.
    QVector<Segment> m_segments;
    int m_segment = 0;
    bool m_anchored = false;
    QVariant m_anchorKey;
    QVariant m_anchorSort;
    std::optional<qint64> m_bound;
    QVector<Gap> m_gaps;
    int m_sinceJump = 0; // keys read one after another since the last jump

    // Keys taken already: a bitmap for the usual small whole numbers, a set for the rest.
    std::vector<quint64> m_bits;
    QSet<qint64> m_farInts;
    QSet<QString> m_seenTexts;
    qsizetype m_seenAtCopy = -1; // m_seenTexts's size in the original this was copied from

    std::shared_ptr<KeyFeed> m_feed;
    Connection::Columns m_wholeColumns; // of the whole rows readRows() reads, once asked
};

} // namespace store
