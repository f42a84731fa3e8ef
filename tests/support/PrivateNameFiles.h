#pragma once
// Gives a process that runs in a mount namespace of its own (tests named *_ns, or a program
// started under unshare -m) its own name-resolution files: a hosts file with the given text,
// "hosts: files" (or the sources given) for the name-service switch and a resolver file that
// names only 127.0.0.1, each bind-mounted over the file in /etc. Lookups then never leave the machine. Refuses to
// touch anything unless the process runs in a mount namespace its parent does not share.
// Header-only, so benchmarks can use it without the test support library.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace privatenames {

inline bool inPrivateMountNamespace()
{
    // The parent (the test runner, or the shell that ran unshare) must live in another
    // namespace: then this one was made for this process alone.
    char own[64] = {};
    char parent[64] = {};
    const QByteArray parentLink = "/proc/" + QByteArray::number(static_cast<qint64>(::getppid())) + "/ns/mnt";
    if (::readlink("/proc/self/ns/mnt", own, sizeof own - 1) <= 0
        || ::readlink(parentLink.constData(), parent, sizeof parent - 1) <= 0)
        return false;
    return std::strcmp(own, parent) != 0;
}

// Empty on success, else what failed. dir must exist and stay while the mounts are used.
// sources: the "hosts:" line of the name-service switch ("files dns" lets names reach the
// resolver at 127.0.0.1, which a test may leave silent); resolverOptions: its "options" line.
inline QString install(const QString& dir, const QByteArray& hostsText, const QByteArray& sources = "files",
                       const QByteArray& resolverOptions = "timeout:1 attempts:1")
{
    if (!inPrivateMountNamespace())
        return QStringLiteral("not in a private mount namespace");
    const struct { const char* name; QByteArray text; const char* target; } files[] = {
        {"hosts", hostsText, "/etc/hosts"},
        {"nsswitch.conf", "hosts: " + sources + "\n", "/etc/nsswitch.conf"},
        {"resolv.conf", "nameserver 127.0.0.1\noptions " + resolverOptions + "\n", "/etc/resolv.conf"},
    };
    // A second install replaces the first one's mounts (its files may be gone by now).
    static bool installed = false;
    if (installed)
        for (const auto& f : files)
            ::umount2(f.target, MNT_DETACH);
    installed = true;
    for (const auto& f : files) {
        const QString path = QDir(dir).filePath(QString::fromLatin1(f.name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(f.text) != f.text.size())
            return QStringLiteral("cannot write %1").arg(path);
        file.close();
        if (::mount(QFile::encodeName(path).constData(), f.target, nullptr, MS_BIND, nullptr) != 0)
            return QStringLiteral("cannot bind %1 over %2: %3")
                .arg(path, QString::fromLatin1(f.target), QString::fromLocal8Bit(std::strerror(errno)));
    }
    return QString();
}

} // namespace privatenames
