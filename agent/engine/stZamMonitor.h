#pragma once
// The daemon's monitor record: the library's part (the first 1432 bytes, which the library
// reads and writes) followed by the daemon's own members. Every daemon source that touches a
// record includes this header; the daemon library is built with ZAM_HOST_MONITOR_RECORD so the
// interface header only declares the name.
#ifndef ZAM_HOST_MONITOR_RECORD
#define ZAM_HOST_MONITOR_RECORD
#endif
#include "zam_plugin_api.h"
#include "SMonitorSetting.h"

#include <QAtomicInt>
#include <QByteArray>
#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

struct stZamMonitor;
using stZamMonitorPtr = QExplicitlySharedDataPointer<stZamMonitor>;

// Road of a record: the agent link reads it from a poll request; with a monitor id the
// configuration manager stores its stream form (never changed afterwards); each task thread
// polls its own working copy read from that form (copyFromStoredForm), refreshed only when the
// form is replaced. A record without id is polled once, directly.
// Threads: a stored form is read-only and shared; a working copy belongs to one task thread.
// The reference count is atomic; the record is freed by its last holder.
struct stZamMonitor : stZamMonitorLib
{
    stZamMonitor* selfRecord;            // the result-memory callback reaches the buffer through it
    QAtomicInt ref;
    QString monitorName;                 // names the monitor in the engine's log lines
    QList<SMonitorSetting> settingRecords;
    std::vector<stZamSettingEntry> settingEntries;   // storage that settings points into
    QByteArray resultSections;
    Optional<int> optMonitorId;
    qint32 pluginId = 0;
    stZamMonitorPtr sourceRecord;        // in a copyForPoll copy: the record it was copied from
    QByteArray storedForm;               // in a copy of a stored form: that form (shared with the store)
    QStringList sentValueTexts;          // in a working copy: the value texts before macro expansion
    QByteArray validationTexts[2];       // storage of validation[i].text

    stZamMonitor();
    ~stZamMonitor();
    stZamMonitor(const stZamMonitor&) = delete;
    stZamMonitor& operator=(const stZamMonitor&) = delete;

    // A working copy of a record, read from its stream form (all-zero library part without a
    // source); null when that form cannot be read.
    static stZamMonitorPtr copyForPoll(const stZamMonitorPtr& source);
    static bool isCopyOf(const stZamMonitorPtr& copy, const stZamMonitorPtr& stored);

    // What the configuration manager keeps of a record: its stream form, a fraction of the
    // parsed record's memory. A working copy is read from it when a thread first polls the
    // monitor or the form was replaced. Null when the form cannot be read (never for a form
    // storedFormOf made).
    static QByteArray storedFormOf(const stZamMonitor& record);
    static stZamMonitorPtr copyFromStoredForm(const QByteArray& form, const QString& monitorName);
    static bool isCopyOfForm(const stZamMonitorPtr& copy, const QByteArray& form);

    // Rebuilds the settings entries, their enumeration rows and the settings count and pointer.
    void buildSettingEntries();
    // Before each poll: expands the macros of every value text (then U+00A0 becomes a line
    // feed) and rebuilds the entries; only this record's own texts change.
    void prepareForPoll();
    // Empties the result buffer of the record selfRecord names.
    void clearResults();
    // Keeps the value texts of the settings as they are now as the texts sent.
    void keepSentValueTexts();
    // The library part from perfValue through the end of failReason's predecessor (0x0b8..0x12f).
    static constexpr int kOutcomeOffset = 0x0b8;
    static constexpr int kOutcomeSize = 0x130 - 0x0b8;
    QByteArray outcomeBlock() const;
    void clearOutcomeBlock();
    // failReason up to its terminating zero.
    QByteArray failReasonText() const;
};

// Stream form (QDataStream version 7, big-endian): settings, monitor id, plug-in id, mode, type
// index, use-host-name, host name, host address, time-out, the two validation rules, log flag.
// The reader refuses a truncated or malformed stream, a bad guarded form, a count beyond the
// bytes present, an unterminated or oversized validation text and an unknown setting kind: it
// answers the reason (empty when the record was read) and marks the stream corrupt.
QString readMonitorRecord(QDataStream& in, stZamMonitor& record);
void writeMonitorRecord(QDataStream& out, const stZamMonitor& record);
// As above; an unknown setting kind throws std::runtime_error "bad setting kind", any other
// refusal leaves the stream's status not Ok.
QDataStream& operator>>(QDataStream& in, stZamMonitor& record);
QDataStream& operator<<(QDataStream& out, const stZamMonitor& record);
