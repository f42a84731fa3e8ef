#pragma once
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects Qt messages in memory while alive ("<level>: <text>", level one of debug,
// info, warning, critical), so tests can check what a component logged.
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
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        const char* level = type == QtDebugMsg ? "debug" : type == QtInfoMsg ? "info"
            : type == QtWarningMsg ? "warning" : "critical";
        QMutexLocker locker(&mutex());
        store() << QString::fromLatin1(level) + QStringLiteral(": ") + message;
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
