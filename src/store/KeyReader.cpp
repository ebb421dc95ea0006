#include "KeyReader.h"

#include "Connection.h"
#include "DbError.h"

#include <algorithm>
#include <future>

namespace store {

namespace {

// A reader per result being read at once; more results wait for one of them.
constexpr size_t kMostReaders = 3;
// Keys of results up to this size come with their count: waiting for them costs no more than a
// few milliseconds, and the count is then exactly the keys'.
int gKeysWithCount = 5000;

std::function<void()>& betweenBlocks()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

std::optional<KeyFeed::Count> KeyFeed::count()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_counted || m_ended; });
    if (!m_counted)
        return std::nullopt;
    return m_count;
}

KeyFeed::Taken KeyFeed::take(bool wait)
{
    Taken taken;
    {
        std::unique_lock lock(m_mutex);
        if (wait)
            m_changed.wait(lock, [this] { return m_pending.moved || m_ended; });
        taken = std::move(m_pending);
        m_pending = Taken();
        m_pending.cursor = taken.cursor;
        taken.ended = m_ended;
    }
    m_taken.notify_all();
    return taken;
}

void KeyFeed::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_taken.notify_all();
}

bool KeyFeed::cancelled()
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

KeyFeed::Whole KeyFeed::takeWhole(bool wait)
{
    std::unique_lock lock(m_mutex);
    if (wait)
        m_changed.wait(lock, [this] { return m_ended; });
    Whole whole;
    whole.ended = m_ended;
    whole.read = m_ended && m_wholeRead && !m_failed;
    if (whole.read)
        whole.rows = std::move(m_whole);
    return whole;
}

void KeyFeed::readWhole(Connection::Rows rows)
{
    std::lock_guard lock(m_mutex);
    m_whole = std::move(rows);
    m_wholeRead = true;
}

void KeyFeed::counted(const Count& count)
{
    {
        std::lock_guard lock(m_mutex);
        m_count = count;
        m_counted = true;
    }
    m_changed.notify_all();
}

KeyFeed::Block KeyFeed::blockOf(const KeySet& keys, int& handedOver)
{
    Block block;
    keys.keysFrom(handedOver, block.ints, block.texts);
    block.cursor = keys.cursor();
    handedOver = keys.size();
    return block;
}

void KeyFeed::read(const KeySet& keys, int& handedOver, QVector<QVector<QVariant>>* rows)
{
    read(blockOf(keys, handedOver), rows);
}

void KeyFeed::read(Block block, QVector<QVector<QVariant>>* rows)
{
    {
        std::unique_lock lock(m_mutex);
        if (rows) {
            // Whole rows wait until the record set has taken most of those read before. A block
            // with no new rows (all its keys taken already) never waits: it has nothing to hold.
            m_taken.wait(lock, [&] {
                return m_cancelled || rows->isEmpty() || m_pending.rows.size() < rows->size() * 2;
            });
            if (m_cancelled)
                return;
            m_pending.rows << std::move(*rows);
        }
        m_pending.ints.insert(m_pending.ints.end(), block.ints.begin(), block.ints.end());
        m_pending.texts << block.texts;
        m_pending.cursor = block.cursor;
        m_pending.moved = true;
    }
    m_changed.notify_all();
}

void KeyFeed::end(bool failed)
{
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_failed = failed;
    }
    m_changed.notify_all();
}

KeyReaders::KeyReaders(const QString& connectionString)
    : m_connectionString(connectionString)
{
}

KeyReaders::~KeyReaders()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const auto& reader : m_readers)
            for (Job& job : reader->jobs)
                job.feed->cancel();
    }
    m_wake.notify_all();
    for (const auto& reader : m_readers)
        reader->thread.join();
}

int KeyReaders::keysWithCount() { return gKeysWithCount; }
void KeyReaders::setKeysWithCount(int rows) { gKeysWithCount = rows; }
void KeyReaders::setBetweenBlocks(std::function<void()> hook) { betweenBlocks() = std::move(hook); }

std::shared_ptr<KeyFeed> KeyReaders::start(const KeySet& keys, bool numbered, int eager)
{
    auto feed = std::make_shared<KeyFeed>();
    queue(Job { keys, numbered, eager, feed, 0, {} });
    return feed;
}

std::shared_ptr<KeyFeed> KeyReaders::startRows(const KeySet& keys, int block)
{
    auto feed = std::make_shared<KeyFeed>();
    queue(Job { keys, false, 0, feed, std::max(block, 1), {} });
    return feed;
}

std::shared_ptr<KeyFeed> KeyReaders::startWhole(const QString& statement)
{
    auto feed = std::make_shared<KeyFeed>();
    queue(Job { KeySet(), false, 0, feed, 0, statement });
    return feed;
}

void KeyReaders::queue(Job job)
{
    std::unique_lock lock(m_mutex);
    Reader* chosen = nullptr;
    for (const auto& reader : m_readers)
        if (!reader->busy && reader->jobs.empty())
            chosen = reader.get();
    if (!chosen && m_readers.size() < kMostReaders) {
        m_readers.push_back(std::make_unique<Reader>());
        chosen = m_readers.back().get();
        chosen->thread = std::thread(&KeyReaders::run, this, chosen);
    }
    if (!chosen)
        chosen = std::min_element(m_readers.begin(), m_readers.end(), [](const auto& a, const auto& b) {
            return a->jobs.size() < b->jobs.size();
        })->get();
    chosen->jobs.push_back(std::move(job));
    lock.unlock();
    m_wake.notify_all();
}

void KeyReaders::run(Reader* reader)
{
    // The session is this thread's own: opened here when first needed, and closed here.
    std::unique_ptr<Connection> session;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !reader->jobs.empty(); });
            if (m_stopping) {
                for (Job& left : reader->jobs)
                    left.feed->end(true);
                reader->jobs.clear();
                break;
            }
            job = std::move(reader->jobs.front());
            reader->jobs.pop_front();
            reader->busy = true;
        }
        work(session, job);
        job = Job(); // the copy of the keys goes here, not when the next result comes
        std::lock_guard lock(m_mutex);
        reader->busy = false;
    }
}

void KeyReaders::work(std::unique_ptr<Connection>& session, Job& job)
{
    KeyFeed& feed = *job.feed;
    if (feed.cancelled()) {
        feed.end(true);
        return;
    }
    bool inSnapshot = false;
    try {
        if (!session)
            session = std::make_unique<Connection>(m_connectionString);
        if (!job.whole.isEmpty()) {
            // One statement: its rows are of one moment without a snapshot around it.
            if (betweenBlocks())
                betweenBlocks()();
            Connection::Rows rows = session->selectAll(job.whole);
            if (!feed.cancelled())
                feed.readWhole(std::move(rows));
            feed.end(false);
            return;
        }
        const bool rowCountsKept = session->keepsRowCounts();
        session->beginSnapshot();
        inSnapshot = true;
        if (job.rowBlock > 0) {
            readRows(*session, job);
            inSnapshot = false;
            session->endSnapshot();
            feed.end(false);
            return;
        }
        const QVector<QVariant> row
            = session->select(job.keys.remainingCountStatement(job.numbered, rowCountsKept)).rows.value(0);
        KeyFeed::Count count;
        count.after = row.value(0).toInt();
        if (job.numbered && !row.value(1).isNull())
            count.highest = row.value(1).toLongLong();
        const int total = job.keys.size() + count.after;
        count.keysFollow = !job.numbered || total <= job.eager;
        if (!count.keysFollow) {
            inSnapshot = false;
            session->endSnapshot();
            feed.counted(count);
            feed.end(false);
            job.keys.afterCount(*session, row.value(2));
            return;
        }
        const bool withCount = total <= gKeysWithCount;
        if (!withCount)
            feed.counted(count);
        int handedOver = job.keys.size();
        int block = KeySet::firstBlock();
        while (!job.keys.complete() && !feed.cancelled()) {
            if (betweenBlocks())
                betweenBlocks()();
            job.keys.readBlock(*session, withCount ? 0 : block);
            block = std::min(block * 2, KeySet::largestBlock());
            if (!withCount)
                feed.read(job.keys, handedOver);
        }
        inSnapshot = false;
        session->endSnapshot();
        if (withCount) {
            feed.read(job.keys, handedOver);
            feed.counted(count);
        }
        feed.end(false);
        job.keys.afterCount(*session, row.value(2));
    } catch (const DbError&) {
        if (inSnapshot) {
            try {
                session->endSnapshot();
            } catch (const DbError&) {
            }
        }
        // A session that failed is opened anew for the next result; this one is read by the
        // record set itself.
        session.reset();
        feed.end(true);
    }
}

void KeyReaders::readRows(Connection& session, Job& job)
{
    // While the rows of one block are made (their texts turned into values) and handed over on a
    // thread of their own, the server is already asked for the next: the two take about as long.
    KeyFeed& feed = *job.feed;
    int handedOver = job.keys.size();
    std::future<void> making;
    while (!job.keys.complete() && !feed.cancelled()) {
        auto read = std::make_shared<KeySet::PackedRows>(job.keys.readPackedRows(session, job.rowBlock));
        KeyFeed::Block block = KeyFeed::blockOf(job.keys, handedOver);
        if (making.valid())
            making.get(); // blocks are handed over in order; a failure to make one is thrown here
        making = std::async(std::launch::async, [&feed, read, block = std::move(block)]() mutable {
            QVector<QVector<QVariant>> rows = read->packed.rows(&read->taken).rows;
            feed.read(std::move(block), &rows);
        });
    }
    if (making.valid())
        making.get();
}

} // namespace store
