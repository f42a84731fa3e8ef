#pragma once
// Helpers every monitor type uses to report its outcome, to write bounded texts and per-monitor
// trace lines. Stateless: they touch only the record they are given and the host's log sink.

#include "zam_plugin_api.h"

#include <QString>
#include <cstdint>
#include <string>

int setMonFailure(stZamMonitor* mon);
int setMonSuccess(stZamMonitor* mon);
int setMonReverseSuccess(stZamMonitor* mon);
void setMonFailReason(stZamMonitor* mon, const char* text);
void setMonFailReasonFmt(stZamMonitor* mon, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
int monitorStillAlive(stZamMonitor* mon);
bool monitorTimedOut(const stZamMonitor* mon);
bool optionsPresent(int found, int required);

int setActFailure(stZamAction* act);
int setActSuccess(stZamAction* act);
void setActFailReason(stZamAction* act, const char* text);
void setActFailReasonFmt(stZamAction* act, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
int actionStillAlive(stZamAction* act);

// Bounded texts; sizes count the bytes of the buffer.
void safeCopy(char* dst, const char* src, size_t n);
void safeAppend(char* dst, const char* src, size_t n);
int safePrintf(char* buf, int size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int setFailReasonFmt(char* buf, int size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
// Keeps at most size - 2 bytes of text and never cuts a UTF-8 character in half; answers the
// length kept.
int setFailReasonArgs(char* buf, int size, const char* fmt, va_list args);
void safeAppendPunct(std::string& text, const std::string& add);
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to);
std::string toStr(int value);
std::string toStr(double value);
int toPerf32(int64_t value);

// Length of a NUL-terminated text inside a fixed field, never reading past the field.
size_t boundedLength(const char* text, size_t fieldSize);

// Trace lines, written at level 4 when the record's logEnabled is set.
void zamLogMonitorPlugin_QStr(const stZamMonitor* mon, const QString& text);
void zamLogActionPlugin_QStr(const stZamAction* act, const QString& text);
void gsmlibLoggingCallback(const char* text);
