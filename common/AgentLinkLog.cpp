#include "AgentLinkLog.h"

#include <QDebug>
#include <QThread>
#include <atomic>

namespace {
void defaultSink(const QString& line) { qDebug().noquote() << line; }
std::atomic<AgentLinkLogSink> g_sink{&defaultSink};

QString hex8(quintptr v) { return QStringLiteral("%1").arg(quint64(v), 8, 16, QLatin1Char('0')); }
}

void setAgentLinkLogSink(AgentLinkLogSink sink) { g_sink.store(sink); }

void agentLinkLog(const QString& line)
{
    if (AgentLinkLogSink sink = g_sink.load())
        sink(line);
}

QString agentLinkLogLine(const char* kind, const void* object, const QString& text)
{
    return QStringLiteral("[%1 %2 from %3] %4")
        .arg(QLatin1String(kind), hex8(reinterpret_cast<quintptr>(object)),
             hex8(reinterpret_cast<quintptr>(QThread::currentThreadId())), text);
}
