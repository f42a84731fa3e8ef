#include "UpgradePackage.h"
#include "common/WriteAll.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kPrefix[] = "zamagent_upgrade_";

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Files and links inside one of our private folders, then the folder.
void removePrivateFolder(const QByteArray& path)
{
    const int dfd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0)
        return;
    if (DIR* dir = ::fdopendir(dfd)) {
        while (dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            ::unlinkat(dfd, e->d_name, 0);   // a folder inside stays, and so does this one
        }
        ::closedir(dir);
    } else {
        ::close(dfd);
    }
    ::rmdir(path.constData());
}

} // namespace

QStringList upgradeArguments()
{
    return {QStringLiteral("/S"), QStringLiteral("/zsilent")};
}

SUpgradeStart writeAndStartUpgradePackage(const QByteArray& package, const QString& tempDir, qint64 utcSeconds)
{
    SUpgradeStart r;
    if (tempDir.isEmpty()) {
        r.error = QStringLiteral("can't define temp dir, upgrade process cancelled");
        return r;
    }
    const QString fileName = QStringLiteral("%1%2.exe").arg(QLatin1String(kPrefix)).arg(utcSeconds);
    QString base = tempDir;
    if (!base.endsWith(QLatin1Char('/')) && !base.endsWith(QLatin1Char('\\')))
        base += QLatin1Char('/');

    QByteArray folderTemplate = QFile::encodeName(base + QLatin1String(kPrefix) + QStringLiteral("XXXXXX"));
    if (!::mkdtemp(folderTemplate.data())) {
        r.error = QStringLiteral("can't create temp file %1 (%2)").arg(fileName, errnoText(errno));
        return r;
    }
    const QString folder = QFile::decodeName(folderTemplate);
    r.packagePath = folder + QLatin1Char('/') + fileName;

    const QByteArray path = QFile::encodeName(r.packagePath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (fd < 0) {
        r.error = QStringLiteral("can't create temp file %1 (%2)").arg(fileName, errnoText(errno));
        ::rmdir(folderTemplate.constData());
        return r;
    }
    const bool written = writeAll(fd, package.constData(), package.size());
    const int writeErr = errno;
    // The mode is exact whatever the umask was.
    const bool closed = ::fchmod(fd, 0700) == 0 && ::close(fd) == 0;
    if (!written || !closed) {
        r.error = QStringLiteral("can't write to temp file %1 (%2)").arg(fileName, errnoText(written ? errno : writeErr));
        ::unlink(path.constData());
        ::rmdir(folderTemplate.constData());
        return r;
    }
    if (!QProcess::startDetached(r.packagePath, upgradeArguments(), tempDir)) {
        r.error = QStringLiteral("can't launch upgrade: %1 %2").arg(r.packagePath, upgradeArguments().join(QLatin1Char(' ')));
        return r;
    }
    r.started = true;
    return r;
}

void removeLeftoverUpgradePackages(const QString& tempDir)
{
    if (tempDir.isEmpty())
        return;
    const QByteArray dirPath = QFile::encodeName(tempDir);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return;
    const int dfd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        if (std::strncmp(e->d_name, kPrefix, sizeof(kPrefix) - 1) != 0)
            continue;
        struct stat st;
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (st.st_uid == ::geteuid())
                removePrivateFolder(QByteArray(dirPath).append('/').append(e->d_name));
        } else if (::unlinkat(dfd, e->d_name, 0) != 0) {
            qWarning().noquote() << QStringLiteral("cannot remove leftover upgrade package '%1/%2'")
                                        .arg(tempDir, QFile::decodeName(e->d_name));
        }
    }
    ::closedir(dir);
}
