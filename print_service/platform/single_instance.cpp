#include "single_instance.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace cookhub {

SingleInstanceLock::SingleInstanceLock(const QString& mutexName)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStringLiteral("/tmp");
    path_ = folder + u'/' + mutexName + QStringLiteral(".lock");
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SingleInstanceLock::acquire()
{
    if (fd_ >= 0)
        return true;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file we cannot even create tells nothing about another copy; refusing
    // to start would stop the kitchen printing for a permission problem.
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace cookhub
