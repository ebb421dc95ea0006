#include "PartFile.h"

#include "TableWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace platform {

void PartFile::create(const QString& target)
{
    discard();
    m_target = target;
    const QFileInfo info(target);
    QTemporaryFile part(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    part.setAutoRemove(false);
    if (!part.open())
        fail(part.errorString());
    m_part = part.fileName();
    part.close();
}

void PartFile::commit()
{
    const QByteArray part = QFile::encodeName(m_part);
    const QByteArray target = QFile::encodeName(m_target);
    // A temporary file is the owner's alone; the finished one is not.
    struct stat old;
    mode_t mode = 0;
    if (::stat(target.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::chmod(part.constData(), mode) != 0 || std::rename(part.constData(), target.constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    m_part.clear();
}

void PartFile::discard()
{
    if (!m_part.isEmpty())
        QFile::remove(m_part);
    m_part.clear();
}

void PartFile::fail(const QString& reason)
{
    discard();
    throw WriteError(QStringLiteral("无法写入文件“%1”：%2").arg(m_target, reason));
}

} // namespace platform
