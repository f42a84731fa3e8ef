#pragma once
#include "support/EventLoopWait.h"

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the process's Qt messages in memory while alive, so tests can check what a
// component logged: lines() as "<level>: <text>" (level one of debug, info, warning,
// critical), texts(type) as the plain texts of one level.
// Threads: messages may come from any thread; the store is guarded by one mutex.
class CapturedMessages
{
public:
    CapturedMessages()
    {
        clear();
        m_previous = qInstallMessageHandler(&CapturedMessages::handler);
    }
    ~CapturedMessages() { qInstallMessageHandler(m_previous); }

    static QStringList lines()
    {
        QMutexLocker locker(&mutex());
        return store();
    }
    static void clear()
    {
        QMutexLocker locker(&mutex());
        store().clear();
    }
    static int count(const QString& line) { return lines().count(line); }
    static bool has(const QString& line) { return lines().contains(line); }
    static bool waitFor(const QString& line, int ms = 10000)
    {
        return waitUntil([&] { return has(line); }, ms);
    }
    static QStringList texts(QtMsgType type)
    {
        const QString prefix = levelName(type) + QStringLiteral(": ");
        QStringList out;
        for (const QString& line : lines())
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        return out;
    }

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList& store()
    {
        static QStringList s;
        return s;
    }
    static QString levelName(QtMsgType type)
    {
        return QString::fromLatin1(type == QtDebugMsg ? "debug" : type == QtInfoMsg ? "info"
                                   : type == QtWarningMsg ? "warning" : "critical");
    }
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        const QString line = levelName(type) + QStringLiteral(": ") + message;
        QMutexLocker locker(&mutex());
        store() << line;
    }

    QtMessageHandler m_previous = nullptr;
};

#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{';
    for (const QString& s : l)
        *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}
