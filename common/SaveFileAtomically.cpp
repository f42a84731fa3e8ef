#include "SaveFileAtomically.h"
#include "WriteAll.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}

bool saveFileAtomically(const QString& fileName, const QByteArray& data, bool overwrite)
{
    const QByteArray target = QFile::encodeName(fileName);
    if (!overwrite && QFileInfo::exists(fileName))
        return false;

    // A unique name per call, so two writers never share (or delete) each other's file.
    QByteArray tempName = target + ".XXXXXX.tmp";
    const int fd = ::mkstemps(tempName.data(), 4);
    if (fd < 0) {
        qWarning("cannot open '%s' for writing", tempName.constData());
        return false;
    }
    ::fchmod(fd, 0644);
    const bool written = writeAll(fd, data.constData(), data.size()) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        qWarning("error writing file '%s'", tempName.constData());
        ::unlink(tempName.constData());
        return false;
    }

    // rename(2) replaces the target atomically; link(2) refuses an existing target, which
    // keeps overwrite=false from clobbering a file created meanwhile.
    const int rc = overwrite ? ::rename(tempName.constData(), target.constData())
                             : ::link(tempName.constData(), target.constData());
    if (rc != 0) {
        qWarning("cannot rename file '%s'", target.constData());
        ::unlink(tempName.constData());
        return false;
    }
    if (!overwrite)
        ::unlink(tempName.constData());
    syncFolder(QFile::encodeName(QFileInfo(fileName).absolutePath()));
    return true;
}
