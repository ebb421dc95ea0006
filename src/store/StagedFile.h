#pragma once

#include <QString>

namespace store {

// A file written beside its target under a name of its own (a hidden name in the target's
// folder) and moved over the target when whole: until then an older target stays as it was, and
// a staged file that is not committed is removed, with any journal the engine left beside it.
class StagedFile {
public:
    // Reserves the name; `tag` goes into it. Throws DbError (no folder, no permission).
    explicit StagedFile(const QString& target, const QString& tag = {});
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const QString& path() const { return m_path; }

    // Puts the file on the disk before it takes the target's name, so that a power cut leaves the
    // old file or the new one, with the permissions of the file `like` (a copy of the records is
    // as private as they are). Throws DbError.
    void commit(const QString& like);

private:
    QString m_target;
    QString m_path;
};

} // namespace store
