#pragma once
#include <QString>

class QObject;

// Connection and agent-server log lines go through one replaceable sink, so the daemon can
// route them through its log categories and the manager can silence them. Default: qDebug.
using AgentLinkLogSink = void (*)(const QString& line);
void setAgentLinkLogSink(AgentLinkLogSink sink);   // null: log nothing
void agentLinkLog(const QString& line);

// "[<kind> <object> from <thread>] <text>", both numbers hexadecimal with at least 8 digits.
QString agentLinkLogLine(const char* kind, const void* object, const QString& text);
