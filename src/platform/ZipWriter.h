#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// A zip archive written front to back into one file, as an Office document is packed.
//
// Small entries are given whole (add). A large one is streamed (beginEntry, append, endEntry):
// its bytes are deflated on a thread of their own while the caller makes the next ones, and go
// to the file as they are compressed, so the entry costs no more memory than a few blocks.
// Such an entry may begin with bytes that are known only at its end (a worksheet's column
// widths come before its rows): beginEntry reserves room for them, endEntry fills it in, padded
// with blanks. The reserved bytes are kept as deflate's stored blocks ahead of the compressed
// rest, so the entry is one ordinary deflate stream to any reader.
//
// Entries and the whole archive are limited to 4 GiB (no zip64). Every step throws WriteError,
// naming `displayName`.
class ZipWriter {
public:
    ZipWriter();
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // path: the file to write (made empty); displayName: the file as the user knows it.
    void open(const QString& path, const QString& displayName);
    void add(const QByteArray& name, const QByteArray& data);

    // level: deflate's compression level for the streamed part (1 fastest ... 9 smallest).
    void beginEntry(const QByteArray& name, qsizetype reservedHead, int level);
    void append(QByteArray data);
    // A block that append() was given and that is compressed by now, to be filled again (its
    // memory is already the process's), or an empty one.
    QByteArray spareBlock();
    // head: at most reservedHead bytes; blanks make up the rest.
    void endEntry(QByteArray head);

    // Writes the archive's directory and closes the file.
    void close();
    // Stops any streaming and closes the file as it is (the caller removes it).
    void abandon();

private:
    struct Entry {
        QByteArray name;
        quint32 crc = 0;
        quint64 packed = 0;
        quint64 size = 0;
        quint64 offset = 0;
    };
    struct Stream; // the deflating thread's state

    void putEntryFields(QByteArray& out, const Entry& entry) const;
    QByteArray localHeader(const Entry& entry) const;
    void writeAt(quint64 offset, const QByteArray& bytes);
    void write(const QByteArray& bytes);
    void checkLimit(quint64 value);
    void stopStream();
    [[noreturn]] void fail(const QString& reason);

    QFile m_file;
    QString m_displayName;
    std::vector<Entry> m_entries;
    quint16 m_time = 0;
    quint16 m_date = 0;
    std::unique_ptr<Stream> m_stream;
};

} // namespace platform
