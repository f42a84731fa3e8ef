#include "zam_monitor_helpers.h"

#include "ZamExportBarrier.h"

#include "zam_host.h"
#include "zam_mtypes.h"
#include "zam_settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int setMonFailure(stZamMonitor* mon)
{
    if (mon)
        mon->resultCode = ZAM_RESULT_CODE_NONE;
    return 1;
}

int setMonSuccess(stZamMonitor* mon)
{
    if (mon)
        mon->resultCode = ZAM_RESULT_CODE_NONE;
    return 0;
}

int setMonReverseSuccess(stZamMonitor* mon)
{
    if (!mon)
        return 0;
    mon->resultCode = ZAM_RESULT_CODE_NONE;
    mon->resultValue = 1;
    mon->perfValue = 1;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("got no reply in reversed monitor"));
    return 0;
}

void setMonFailReason(stZamMonitor* mon, const char* text)
{
    if (!text)
        return;
    setMonFailReasonFmt(mon, "%s", text);
}

void setMonFailReasonFmt(stZamMonitor* mon, const char* fmt, ...)
{
    if (!mon)
        return;
    va_list args;
    va_start(args, fmt);
    setFailReasonArgs(mon->failReason, ZAM_FAIL_REASON_SIZE, fmt, args);
    va_end(args);
    zamLogMonitorPlugin_QStr(mon, QString::fromUtf8(mon->failReason));
}

int monitorStillAlive(stZamMonitor* mon)
{
    if (!mon || !mon->stillAlive)
        return 0;
    return mon->stillAlive(mon->stillAliveContext);
}

bool monitorTimedOut(const stZamMonitor* mon)
{
    if (!mon)
        return false;
    const int limit = mon->timeout <= 0 ? 1 : mon->timeout;
    return mon->resultValue > limit;
}

bool optionsPresent(int found, int required)
{
    return (found & required) == required;
}

int setActFailure(stZamAction* act)
{
    (void)act;
    return 1;
}

int setActSuccess(stZamAction* act)
{
    (void)act;
    return 0;
}

void setActFailReason(stZamAction* act, const char* text)
{
    if (!text)
        return;
    setActFailReasonFmt(act, "%s", text);
}

void setActFailReasonFmt(stZamAction* act, const char* fmt, ...)
{
    if (!act)
        return;
    va_list args;
    va_start(args, fmt);
    setFailReasonArgs(act->failReason, ZAM_ACTION_FAIL_REASON_SIZE, fmt, args);
    va_end(args);
    zamLogActionPlugin_QStr(act, QString::fromUtf8(act->failReason));
}

int actionStillAlive(stZamAction* act)
{
    if (!act || !act->stillAlive)
        return 0;
    return act->stillAlive(act->stillAliveContext);
}

void safeCopy(char* dst, const char* src, size_t n)
{
    if (!dst)
        return;
    dst[0] = '\0';
    safeAppend(dst, src, n);
}

void safeAppend(char* dst, const char* src, size_t n)
{
    if (!dst || !src)
        return;
    const size_t have = std::strlen(dst);
    size_t add = 0;
    while (add < n && src[add])
        ++add;
    std::memcpy(dst + have, src, add);
    dst[have + add] = '\0';
}

int safePrintf(char* buf, int size, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int r = setFailReasonArgs(buf, size, fmt, args);
    va_end(args);
    return r;
}

int setFailReasonFmt(char* buf, int size, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int r = setFailReasonArgs(buf, size, fmt, args);
    va_end(args);
    return r;
}

// Cuts `len` bytes of `buf` back so that no UTF-8 sequence at the end is incomplete.
static size_t utf8CleanCut(const char* buf, size_t len)
{
    size_t lead = len;
    size_t back = 0;
    while (lead > 0 && back < 4) {
        const unsigned char c = static_cast<unsigned char>(buf[lead - 1]);
        if ((c & 0xC0) != 0x80)
            break;
        --lead;
        ++back;
    }
    if (lead == 0)
        return back > 0 ? 0 : len;
    const unsigned char c = static_cast<unsigned char>(buf[lead - 1]);
    size_t need = 1;
    if (c >= 0xF0 && c <= 0xF7)
        need = 4;
    else if (c >= 0xE0)
        need = 3;
    else if (c >= 0xC0)
        need = 2;
    else if (c >= 0x80)
        return len;  // stray continuation run or Latin-1: nothing to mend
    const size_t have = back + 1;
    return have < need ? lead - 1 : len;
}

int setFailReasonArgs(char* buf, int size, const char* fmt, va_list args)
{
    if (!buf || size <= 0)
        return 0;
    if (!fmt || size < 2) {
        buf[0] = '\0';
        return 0;
    }
    const int limit = size - 1;
    va_list copy;
    va_copy(copy, args);
    const int full = std::vsnprintf(buf, static_cast<size_t>(limit), fmt, copy);
    va_end(copy);
    if (full < 0) {
        buf[0] = '\0';
        return 0;
    }
    size_t kept = std::strlen(buf);
    if (static_cast<size_t>(full) > kept) {
        kept = utf8CleanCut(buf, kept);
        buf[kept] = '\0';
    }
    return static_cast<int>(kept);
}

void safeAppendPunct(std::string& text, const std::string& add)
{
    if (!text.empty() && std::strchr(".,:;!?", text.back()) != nullptr)
        text.pop_back();
    text += add;
}

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    std::string out = text;
    size_t pos = 0;
    while ((pos = out.find(from, pos)) != std::string::npos) {
        out.replace(pos, from.size(), to);
        pos += to.size();
    }
    return out;
}

std::string toStr(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

std::string toStr(double value)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

int toPerf32(int64_t value)
{
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

size_t boundedLength(const char* text, size_t fieldSize)
{
    if (!text)
        return 0;
    const void* end = std::memchr(text, 0, fieldSize);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : fieldSize;
}

void zamLogMonitorPlugin_QStr(const stZamMonitor* mon, const QString& text)
{
    if (!mon || !mon->logEnabled || !zamLogCb.load())
        return;
    const QString host = mon->useHostName
        ? QString::fromLatin1(mon->hostName, static_cast<int>(boundedLength(mon->hostName, ZAM_HOST_NAME_SIZE)))
        : QString::fromLatin1(mon->hostAddress,
                              static_cast<int>(boundedLength(mon->hostAddress, ZAM_HOST_ADDRESS_SIZE)));
    const QString line = QStringLiteral("%1: %2 monitor, id=%3: %4")
                             .arg(host, QString::fromUtf8(zamMonitorTypeName(mon->typeIndex)))
                             .arg(mon->monitorId)
                             .arg(stripData(text));
    zamLogMessage(ZAM_LOG_TRACE, line.toUtf8().constData());
}

void zamLogActionPlugin_QStr(const stZamAction* act, const QString& text)
{
    if (!act || !act->logEnabled || !zamLogCb.load())
        return;
    // No action type is described, so the name is the index.
    const QString line = QStringLiteral("%1 action: %2").arg(QString::number(act->typeIndex), stripData(text));
    zamLogMessage(ZAM_LOG_TRACE, line.toUtf8().constData());
}

void gsmlibLoggingCallback(const char* text)
{
    zamLogMessage(ZAM_LOG_TRACE, text);
}

void zamFailMonitorOnException(stZamMonitor* mon, const char* exportName, const char* text)
{
    zamLogMessage(ZAM_LOG_ERROR, (std::string("exception in ") + exportName + ": " + text).c_str());
    if (!mon)
        return;
    setMonFailReason(mon, text);
    setMonFailure(mon);
}
