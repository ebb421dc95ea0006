#pragma once

#include <QString>

namespace platform {

// A file written beside its target under a name of its own, and moved over the target in one
// step when it is whole: until then an older file of the target's name stays as it was, and
// discard() leaves nothing behind. The finished file has the permissions a new file gets (or the
// older file's). For writers that want a file name rather than a QIODevice (libxlsxwriter, a
// QPrinter); QSaveFile does the same for a QIODevice.
class PartFile {
public:
    PartFile() = default;
    ~PartFile() { discard(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Reserves the part's name beside `target`. Throws WriteError (no folder, no permission).
    void create(const QString& target);
    const QString& path() const { return m_part; }
    // Moves the part over the target. Throws WriteError.
    void commit();
    void discard();

private:
    [[noreturn]] void fail(const QString& reason);

    QString m_target;
    QString m_part;
};

} // namespace platform
