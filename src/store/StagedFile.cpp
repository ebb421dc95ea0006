#include "StagedFile.h"

#include "DbError.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

StagedFile::StagedFile(const QString& target, const QString& tag)
    : m_target(QFileInfo(target).absoluteFilePath())
{
    const QFileInfo info(m_target);
    QTemporaryFile part(info.absolutePath() + QStringLiteral("/.") + info.fileName() + tag + QStringLiteral(".XXXXXX"));
    part.setAutoRemove(false);
    if (!part.open())
        throw DbError(QStringLiteral("无法在文件夹“%1”中写入文件：%2").arg(info.absolutePath(), part.errorString()));
    m_path = part.fileName();
}

StagedFile::~StagedFile()
{
    if (m_path.isEmpty())
        return;
    for (const char* suffix : { "", "-journal", "-wal", "-shm" })
        QFile::remove(m_path + QString::fromLatin1(suffix));
}

void StagedFile::commit(const QString& like)
{
    const QByteArray part = QFile::encodeName(m_path);
    const QByteArray target = QFile::encodeName(m_target);
    const int fd = ::open(part.constData(), O_RDONLY);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    struct stat original;
    if (ok && ::stat(QFile::encodeName(like).constData(), &original) == 0)
        ok = ::chmod(part.constData(), original.st_mode & 0666) == 0;
    ok = ok && std::rename(part.constData(), target.constData()) == 0;
    if (!ok)
        throw DbError(QStringLiteral("无法写入文件“%1”：%2").arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    m_path.clear();
    const int dir = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace store
