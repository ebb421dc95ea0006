#include "ZipWriter.h"

#include "TableWriter.h"

#include <QDateTime>
#include <QtEndian>
#include <zlib.h>

namespace platform {

namespace {

constexpr quint64 kLimit = 0xFFFFFFFFu;
constexpr int kStoredMax = 0xFFFF;      // the most bytes one stored block carries
constexpr size_t kQueued = 4;           // blocks waiting for the deflating thread at most
constexpr size_t kOutput = 256 * 1024;  // compressed bytes written at once

void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// The reserved head as deflate stored blocks, none of them the last.
QByteArray storedBlocks(const QByteArray& head)
{
    QByteArray out;
    for (qsizetype at = 0; at < head.size(); at += kStoredMax) {
        const quint16 n = quint16(std::min<qsizetype>(kStoredMax, head.size() - at));
        out.append('\0'); // not the last block, stored
        put16(out, n);
        put16(out, quint16(~n));
        out.append(head.constData() + at, n);
    }
    return out;
}

qsizetype storedSize(qsizetype head) { return head + 5 * ((head + kStoredMax - 1) / kStoredMax); }

} // namespace

struct ZipWriter::Stream {
    z_stream z {};
    bool zReady = false;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable ready; // a block is queued, or the entry ends
    std::condition_variable room;  // a block was taken
    std::deque<QByteArray> blocks;
    std::vector<QByteArray> spare; // blocks compressed, for the caller to fill again
    bool ending = false;
    bool stopping = false;
    QString error; // the first write that failed, set by the worker

    Entry entry;
    qsizetype reserved = 0;
    quint64 headOffset = 0;
    // Kept by the worker; read once it has ended.
    quint32 crc = 0;
    quint64 size = 0;
    quint64 packed = 0;

    ~Stream() { if (zReady) deflateEnd(&z); }

    void run(QFile* file)
    {
        std::vector<unsigned char> out(kOutput);
        bool failed = false;
        for (;;) {
            QByteArray block;
            bool last = false;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return !blocks.empty() || ending || stopping; });
                if (stopping)
                    return;
                if (blocks.empty()) {
                    last = true;
                } else {
                    block = std::move(blocks.front());
                    blocks.pop_front();
                    room.notify_one();
                }
            }
            if (failed) {
                if (last)
                    return;
                continue;
            }
            crc = crc32(crc, reinterpret_cast<const Bytef*>(block.constData()), uInt(block.size()));
            size += quint64(block.size());
            z.next_in = reinterpret_cast<Bytef*>(block.data());
            z.avail_in = uInt(block.size());
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                const qint64 n = qint64(out.size() - z.avail_out);
                if (n > 0 && file->write(reinterpret_cast<const char*>(out.data()), n) != n) {
                    std::lock_guard lock(mutex);
                    error = file->errorString();
                    failed = true;
                    room.notify_all();
                    break;
                }
                packed += quint64(n);
            } while (z.avail_out == 0);
            if (last)
                return;
            std::lock_guard lock(mutex);
            if (spare.size() < kQueued)
                spare.push_back(std::move(block));
        }
    }
};

ZipWriter::ZipWriter() = default;
ZipWriter::~ZipWriter() { abandon(); }

void ZipWriter::open(const QString& path, const QString& displayName)
{
    abandon();
    m_displayName = displayName;
    m_entries.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        fail(m_file.errorString());
    // The entries' time, as an MS-DOS clock gives it (two-second steps, from 1980).
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    m_date = quint16(((std::max(d.year(), 1980) - 1980) << 9) | (d.month() << 5) | d.day());
    m_time = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

void ZipWriter::add(const QByteArray& name, const QByteArray& data)
{
    z_stream z {};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fail(QStringLiteral("内存不足"));
    QByteArray packed(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = uInt(packed.size());
    deflate(&z, Z_FINISH);
    packed.truncate(qsizetype(z.total_out));
    deflateEnd(&z);

    Entry entry;
    entry.name = name;
    entry.crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
    entry.size = quint64(data.size());
    entry.packed = quint64(packed.size());
    entry.offset = quint64(m_file.pos());
    checkLimit(entry.offset);
    write(localHeader(entry));
    write(packed);
    m_entries.push_back(entry);
}

void ZipWriter::beginEntry(const QByteArray& name, qsizetype reservedHead, int level)
{
    auto stream = std::make_unique<Stream>();
    if (deflateInit2(&stream->z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fail(QStringLiteral("内存不足"));
    stream->zReady = true;
    stream->entry.name = name;
    stream->entry.offset = quint64(m_file.pos());
    checkLimit(stream->entry.offset);
    stream->reserved = reservedHead;
    write(localHeader(stream->entry));
    stream->headOffset = quint64(m_file.pos());
    write(QByteArray(storedSize(reservedHead), '\0'));
    m_stream = std::move(stream);
    m_stream->worker = std::thread(&Stream::run, m_stream.get(), &m_file);
}

void ZipWriter::append(QByteArray data)
{
    if (data.isEmpty())
        return;
    Stream& s = *m_stream;
    std::unique_lock lock(s.mutex);
    s.room.wait(lock, [&] { return s.blocks.size() < kQueued || !s.error.isEmpty(); });
    if (!s.error.isEmpty()) {
        const QString error = s.error;
        lock.unlock();
        fail(error);
    }
    s.blocks.push_back(std::move(data));
    s.ready.notify_one();
}

QByteArray ZipWriter::spareBlock()
{
    if (!m_stream)
        return {};
    std::lock_guard lock(m_stream->mutex);
    if (m_stream->spare.empty())
        return {};
    QByteArray block = std::move(m_stream->spare.back());
    m_stream->spare.pop_back();
    return block;
}

void ZipWriter::endEntry(QByteArray head)
{
    Stream& s = *m_stream;
    {
        std::lock_guard lock(s.mutex);
        s.ending = true;
        s.ready.notify_one();
    }
    s.worker.join();
    if (!s.error.isEmpty())
        fail(s.error);
    if (head.size() > s.reserved) {
        m_stream.reset();
        fail(QStringLiteral("预留的空间不足"));
    }
    head.append(QByteArray(s.reserved - head.size(), ' '));

    Entry entry = s.entry;
    const quint64 headOffset = s.headOffset;
    const quint32 headCrc = quint32(crc32(0, reinterpret_cast<const Bytef*>(head.constData()), uInt(head.size())));
    entry.crc = quint32(crc32_combine(headCrc, s.crc, z_off_t(s.size)));
    entry.size = quint64(head.size()) + s.size;
    entry.packed = quint64(storedSize(head.size())) + s.packed;
    m_stream.reset();
    checkLimit(entry.size);
    checkLimit(entry.offset + entry.packed);

    // The entry's reserved beginning and its header's sizes are written over their places.
    const quint64 end = quint64(m_file.pos());
    writeAt(headOffset, storedBlocks(head));
    writeAt(entry.offset, localHeader(entry));
    if (!m_file.seek(qint64(end)))
        fail(m_file.errorString());
    m_entries.push_back(entry);
}

void ZipWriter::close()
{
    const quint64 start = quint64(m_file.pos());
    QByteArray directory;
    for (const Entry& e : m_entries) {
        put32(directory, 0x02014b50);
        put16(directory, 20); // made by: zip 2.0
        putEntryFields(directory, e);
        put16(directory, 0); // extra field
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, quint32(e.offset));
        directory.append(e.name);
    }
    const quint32 size = quint32(directory.size());
    checkLimit(start + size);
    put32(directory, 0x06054b50);
    put16(directory, 0);
    put16(directory, 0);
    put16(directory, quint16(m_entries.size()));
    put16(directory, quint16(m_entries.size()));
    put32(directory, size);
    put32(directory, quint32(start));
    put16(directory, 0);
    write(directory);
    if (!m_file.flush())
        fail(m_file.errorString());
    m_file.close();
}

void ZipWriter::abandon()
{
    stopStream();
    if (m_file.isOpen())
        m_file.close();
}

void ZipWriter::stopStream()
{
    if (!m_stream)
        return;
    if (m_stream->worker.joinable()) {
        {
            std::lock_guard lock(m_stream->mutex);
            m_stream->stopping = true;
            m_stream->ready.notify_one();
        }
        m_stream->worker.join();
    }
    m_stream.reset();
}

// What the local header and the directory both say of an entry, up to its name's length.
void ZipWriter::putEntryFields(QByteArray& out, const Entry& entry) const
{
    put16(out, 20); // needed to extract: deflate
    put16(out, 0);  // flags
    put16(out, 8);  // deflated
    put16(out, m_time);
    put16(out, m_date);
    put32(out, entry.crc);
    put32(out, quint32(entry.packed));
    put32(out, quint32(entry.size));
    put16(out, quint16(entry.name.size()));
}

QByteArray ZipWriter::localHeader(const Entry& entry) const
{
    QByteArray header;
    put32(header, 0x04034b50);
    putEntryFields(header, entry);
    put16(header, 0); // extra field
    header.append(entry.name);
    return header;
}

void ZipWriter::writeAt(quint64 offset, const QByteArray& bytes)
{
    if (!m_file.seek(qint64(offset)))
        fail(m_file.errorString());
    write(bytes);
}

void ZipWriter::write(const QByteArray& bytes)
{
    if (m_file.write(bytes) != bytes.size())
        fail(m_file.errorString());
}

void ZipWriter::checkLimit(quint64 value)
{
    if (value > kLimit)
        fail(QStringLiteral("文件将超过 4 GB"));
}

void ZipWriter::fail(const QString& reason)
{
    abandon();
    throw WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(m_displayName, reason));
}

} // namespace platform
