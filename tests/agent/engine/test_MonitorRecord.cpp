#include "MonitorRecordFixtures.h"
#include "engine/PluginResultMemory.h"
#include "support/CapturedMessages.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <stdexcept>

using namespace fixtures;

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
}

TEST(GuardedValue, FormsAreByteExact)
{
    struct Case { QByteArray value; QByteArray form; };
    const Case cases[] = {
        {"abc", hex("00000003616263 0000 9E25")},
        {"123456789", hex("00000009313233343536373839 0000 906E")},
        {"", hex("0000000000000000")},
    };
    for (const Case& c : cases) {
        SGuardedValue v;
        v.setValue(c.value);
        EXPECT_EQ(v.bytes, c.form) << c.value.constData();
        EXPECT_STREQ(v.valueData(), c.value.constData());
        EXPECT_EQ(v.value(), c.value);
    }
    EXPECT_EQ(SGuardedValue().bytes, QByteArray(8, '\0'));
}

TEST(GuardedValue, ReleaseReportsDamage)
{
    struct Case { const char* what; QByteArray form; QString warning; };
    QByteArray written = SGuardedValue::encode("abc");
    written[5] = 'X';   // the library wrote into the value
    QByteArray overrun = SGuardedValue::encode("abc");
    overrun[7] = '!';   // ... or past it, into the terminating zeros
    const Case cases[] = {
        {"intact", SGuardedValue::encode("abc"), QString()},
        {"unverified", hex("00FFFFFF") + "whatever follows", QString()},
        {"unverified short", hex("00FFFFFF"), QString()},
        {"size", hex("00000004") + QByteArray(7, 'a'), "warning: setting unknown has bad size"},
        {"offset", hex("000000"), "warning: bad offset 0 for setting unknown"},
        {"checksum", written, "warning: setting unknown has bad checksum"},
        {"zeros", overrun, "warning: setting unknown has bad checksum"},
    };
    for (const Case& c : cases) {
        CapturedMessages messages;
        {
            SGuardedValue v;
            v.bytes = c.form;
        }
        const QStringList expected = c.warning.isEmpty() ? QStringList() : QStringList{c.warning};
        EXPECT_EQ(messages.lines(), expected) << c.what;
    }
    CapturedMessages messages;
    {
        SGuardedValue named(QStringLiteral("Port"));
        named.bytes = hex("000000");
    }
    EXPECT_EQ(messages.lines(), QStringList{"warning: bad offset 0 for setting Port"});
}

TEST(GuardedValue, FormsFromPeersAreCheckedBeforeUse)
{
    struct Case { QByteArray form; bool accepted; };
    const Case cases[] = {
        {SGuardedValue::encode("abc"), true},
        {SGuardedValue::encode(""), true},
        {hex("00FFFFFF") + QByteArray("xy\0", 3), true},
        {hex("00000004") + QByteArray("abcd\0\0\0", 7), true},   // wrong size, still terminated: warned later
        {hex("000000"), false},                                   // shorter than its header
        {QByteArray(), false},
        {hex("00000010") + "abc", false},                         // length beyond the bytes present
        {hex("FFFFFFF0") + "abc", false},
        {hex("00000003") + "abc", false},                         // no terminating zero
        {hex("00000003") + "abcd1234", false},
        {hex("00FFFFFF") + "no zero", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SGuardedValue::checkForm(c.form).isEmpty(), c.accepted) << c.form.toHex().constData();
}

TEST(MonitorRecord, ConstructedRecordState)
{
    stZamMonitor r;
    EXPECT_EQ(r.monitorId, -1);
    EXPECT_TRUE(r.optMonitorId.isUnset());
    EXPECT_EQ(r.selfRecord, &r);
    EXPECT_EQ(r.settings.count, 0u);
    EXPECT_EQ(r.cachedData, nullptr);
    EXPECT_STREQ(r.failReason, "");
    EXPECT_EQ(reinterpret_cast<char*>(&r.selfRecord) - reinterpret_cast<char*>(&r), 0x598);
}

TEST(MonitorRecord, SettingsEntriesPointIntoTheRecordsOwnBuffers)
{
    SMonitorSetting en = setting(" Mode", 'e', "2", 2);
    en.enumValues = {choice("first", 1), choice("second", 2, " Port, Host")};
    en.minValue = 1;
    en.maxValue = 2;
    stZamMonitorPtr r = record(7, 1, {setting(" Host", 's', "abc"), setting(" Count", 'i', "-5", -5), en});

    ASSERT_EQ(r->settings.count, 3u);
    const stZamSettingEntry* e = r->settings.entries;
    EXPECT_STREQ(e[0].name, " Host");
    EXPECT_STREQ(e[0].description, "hint of  Host");
    EXPECT_EQ(e[0].id, 's');
    EXPECT_STREQ(e[0].valueText, "abc");
    EXPECT_EQ(QByteArray(e[0].valueText - 4, 11), hex("00000003616263 0000 9E25"));
    EXPECT_EQ(e[0].valueInt, 0);
    EXPECT_EQ(e[0].min, -1);
    EXPECT_EQ(e[0].max, -1);
    EXPECT_EQ(e[0].enumCount, 0);
    EXPECT_NE(e[0].enums, nullptr);

    EXPECT_EQ(e[1].valueInt, -5);   // sign-extended to all 64 bits
    EXPECT_EQ(e[2].min, 1);
    EXPECT_EQ(e[2].max, 2);
    ASSERT_EQ(e[2].enumCount, 2);
    EXPECT_STREQ(e[2].enums[1].label, "second");
    EXPECT_STREQ(e[2].enums[1].description, "about second");
    EXPECT_STREQ(e[2].enums[1].disables, " Port, Host");
    EXPECT_STREQ(e[2].enums[0].disables, "");
    EXPECT_EQ(e[2].enums[1].value, 2);
}

TEST(MonitorRecord, StreamRoundTripKeepsEveryField)
{
    SMonitorSetting en = setting(" Version", 'e', "1", 1);
    en.enumValues = {choice("v1", 1), choice("v2c", 2, " Community")};
    en.maxValue = Optional<int>::null();
    stZamMonitorPtr r = record(42, 13, {setting(" Host", 's', "h\u00e9st"), en}, "router.example", 2);
    r->pluginId = 3;
    r->logEnabled = 1;
    r->validation[0].flags = 0x03;
    r->validationTexts[0] = "ok\xc2\xa0" "fine";
    r->validation[0].text = r->validationTexts[0].constData();

    const QByteArray bytes = streamOf(*r);
    stZamMonitorPtr back;
    ASSERT_EQ(readStream(bytes, back), QString());
    EXPECT_EQ(back->optMonitorId, Optional<int>(42));
    EXPECT_EQ(back->monitorId, -1);   // only a working copy receives the id
    EXPECT_EQ(back->pluginId, 3);
    EXPECT_EQ(back->mode, 2);
    EXPECT_EQ(back->typeIndex, 13u);
    EXPECT_EQ(back->useHostName, 1);
    EXPECT_STREQ(back->hostName, "router.example");
    EXPECT_STREQ(back->hostAddress, "127.0.0.1");
    EXPECT_EQ(back->timeout, 5);
    EXPECT_EQ(back->validation[0].flags, 3);
    EXPECT_STREQ(back->validation[0].text, "ok\xc2\xa0" "fine");
    EXPECT_EQ(back->validation[1].text, nullptr);
    EXPECT_EQ(back->logEnabled, 1);
    ASSERT_EQ(back->settings.count, 2u);
    EXPECT_STREQ(back->settings.entries[0].valueText, "h\xc3\xa9st");
    EXPECT_EQ(back->settingRecords[1].maxValue.state(), 3);
    EXPECT_EQ(back->settingRecords[1].displayName.name, QStringLiteral("unknown"));
    EXPECT_STREQ(back->settings.entries[1].enums[1].disables, " Community");
    EXPECT_EQ(streamOf(*back), bytes);
}

TEST(MonitorRecord, StreamLayoutByteExact)
{
    // One text setting "abc" named " H", no choices; id 9; plug-in 1; no validation texts.
    stZamMonitorPtr r = record(9, 0, {setting(" H", 's', "abc")}, "h");
    r->settingRecords[0].displayHint.setValue("");
    r->timeout = 2;
    const QByteArray guardedH = SGuardedValue::encode(" H");
    ASSERT_EQ(guardedH.left(8), hex("00000002 2048 0000"));
    const QByteArray expected = hex("00000001")                            // settings
                                + hex("0000000A") + guardedH               // guarded " H"
                                + hex("00000008 0000000000000000"          // guarded ""
                                      "00000073"                           // kind 's'
                                      "0001 00000000 0001 00000000 0001 00000000"   // three unset optionals
                                      "00000006 006100620063"              // "abc"
                                      "00000000"                           // no choices
                                      "0100 00000009"                      // monitor id 9
                                      "00000001 00000000 00000000 00000001"   // plug-in, mode, type, use name
                                      "00000001 68"                        // host "h"
                                      "00000009 3132372E302E302E31"        // address
                                      "00000002"                           // time-out
                                      "00000000 00000000 00000000 00000000"   // two rules without text
                                      "00000000");                         // log flag
    EXPECT_EQ(streamOf(*r).toHex(), expected.toHex());
}

TEST(MonitorRecord, LongHostTextsAreCutToTheirFields)
{
    stZamMonitorPtr r = record(1, 0, {});
    QByteArray bytes = streamOf(*r);
    // Rebuild the tail with oversized host texts.
    QByteArray tail;
    {
        QDataStream out(&tail, QIODevice::WriteOnly);
        out.setVersion(7);
        out << QByteArray(300, 'n') << QByteArray(40, '9') << qint32(5) << qint32(0) << quint32(0) << qint32(0)
            << quint32(0) << qint32(0);
    }
    QByteArray head;
    {
        QDataStream out(&head, QIODevice::WriteOnly);
        out.setVersion(7);
        out << quint32(0) << Optional<int>(1) << qint32(1) << qint32(0) << qint32(0) << qint32(1);
    }
    stZamMonitorPtr back;
    ASSERT_EQ(readStream(head + tail, back), QString());
    EXPECT_EQ(QByteArray(back->hostName), QByteArray(127, 'n'));
    EXPECT_EQ(QByteArray(back->hostAddress), QByteArray(31, '9'));
    Q_UNUSED(bytes);
}

TEST(MonitorRecord, MalformedStreamsAreRefusedWithAReason)
{
    SMonitorSetting en = setting(" Mode", 'e', "1", 1);
    en.enumValues = {choice("a", 1)};
    stZamMonitorPtr r = record(5, 2, {setting(" Host", 's', "x"), en});
    r->validationTexts[1] = "200";
    r->validation[1].text = r->validationTexts[1].constData();
    const QByteArray good = streamOf(*r);

    // Every truncation is refused, none is polled with zeroed fields.
    for (int cut = 0; cut < good.size(); ++cut) {
        stZamMonitorPtr back;
        EXPECT_FALSE(readStream(good.left(cut), back).isEmpty()) << "cut at " << cut;
    }

    auto patched = [&](const QByteArray& from, const QByteArray& to) {
        QByteArray b = good;
        const int at = b.indexOf(from);
        EXPECT_GE(at, 0);
        b.replace(at, from.size(), to);
        return b;
    };
    struct Case { const char* what; QByteArray bytes; QString reason; };
    const QByteArray hostForm = SGuardedValue::encode(" Host");
    const Case cases[] = {
        {"huge setting count", hex("7FFFFFFF") + good.mid(4), "monitor record: 2147483647 settings beyond the bytes present"},
        {"guarded value without zero", patched(hostForm, hex("00000005") + " Host" + hex("0101 0000")),
         "setting name: guarded value without its terminating zero"},
        {"guarded value beyond bytes", patched(hostForm, hex("00000050") + " Host" + hex("0000 0000")),
         "setting name: guarded value length 80 beyond the 9 bytes present"},
        {"validation text without zero", patched(hex("00000004 32303000"), hex("00000004 32303030")),
         "validation text 1 without its terminating zero"},
        {"validation text beyond bytes", patched(hex("00000004 32303000"), hex("7FFFFFF0 32303000")),
         "validation text 1: length 2147483632 beyond the bytes present"},
        {"bad setting kind", patched(hex("00000073"), hex("0000005A")), "bad setting kind"},
        {"negative setting kind", patched(hex("00000073"), hex("FFFFFF73")), "bad setting kind"},
    };
    for (const Case& c : cases) {
        stZamMonitorPtr back;
        EXPECT_EQ(readStream(c.bytes, back), c.reason) << c.what;
    }

    // The stream operator keeps its contract with the link: a bad kind throws, the rest marks the stream.
    stZamMonitor target;
    QDataStream badKind(cases[5].bytes);
    badKind.setVersion(7);
    EXPECT_THROW(badKind >> target, std::runtime_error);
    QDataStream truncated(good.left(20));
    truncated.setVersion(7);
    truncated >> target;
    EXPECT_NE(truncated.status(), QDataStream::Ok);
}

TEST(MonitorRecord, WorkingCopiesShareNothingTheLibraryCanWrite)
{
    stZamMonitorPtr stored = record(12, 4, {setting(" Path", 's', "$InstallDir/a\u00a0b")});
    stored->monitorName = QStringLiteral("disk on host");
    stored->validationTexts[0] = "ok";
    stored->validation[0].text = stored->validationTexts[0].constData();
    stored->cachedData = reinterpret_cast<void*>(0x1);   // never carried into a copy

    stZamMonitorPtr w = stZamMonitor::copyForPoll(stored);
    EXPECT_TRUE(stZamMonitor::isCopyOf(w, stored));
    EXPECT_FALSE(stZamMonitor::isCopyOf(stZamMonitor::copyForPoll(stored), w));
    EXPECT_FALSE(stZamMonitor::isCopyOf(stZamMonitorPtr(), stored));
    EXPECT_EQ(w->monitorId, 12);
    EXPECT_EQ(w->selfRecord, w.data());
    EXPECT_EQ(w->cachedData, nullptr);
    EXPECT_EQ(w->typeIndex, 4u);
    EXPECT_EQ(w->pluginId, 1);
    EXPECT_EQ(w->monitorName, QStringLiteral("disk on host"));
    EXPECT_STREQ(w->validation[0].text, "ok");
    ASSERT_EQ(w->settings.count, 1u);
    EXPECT_NE(w->settings.entries[0].valueText, stored->settings.entries[0].valueText);
    EXPECT_NE(w->settings.entries[0].name, stored->settings.entries[0].name);

    w->prepareForPoll();
    const QString install = QDir(testpaths::buildDir()).canonicalPath();
    EXPECT_EQ(QString::fromUtf8(w->settings.entries[0].valueText), install + "/a\nb");
    EXPECT_EQ(stored->settingRecords[0].valueText, QStringLiteral("$InstallDir/a\u00a0b"));
    EXPECT_STREQ(stored->settings.entries[0].valueText, "$InstallDir/a\xc2\xa0" "b");

    // Polls of an unchanged record reuse the copy; a resent record makes the next one new.
    const stZamMonitorPtr resent = record(12, 4, {setting(" Path", 's', "/other")});
    EXPECT_FALSE(stZamMonitor::isCopyOf(w, resent));
    EXPECT_EQ(stZamMonitor::copyForPoll(resent)->settingRecords[0].valueText, QStringLiteral("/other"));
}

TEST(MonitorRecord, MacroExpansionAndLineBreaks)
{
    struct Case { QString text; QString expected; };
    const Case cases[] = {
        {"a\u00a0b", "a\nb"},
        {"plain", "plain"},
        {"%PATH%", QString::fromLocal8Bit(qgetenv("PATH"))},
        {"x\u00a0$DataDir", "x\n" + QDir(QStringLiteral("/etc/opt/corvane-agent")).canonicalPath()},
    };
    for (const Case& c : cases) {
        stZamMonitorPtr r = record(Optional<int>(), 0, {setting(" T", 's', c.text)});
        r->prepareForPoll();
        if (c.text.contains("DataDir") && !QDir(QStringLiteral("/etc/opt/corvane-agent")).exists())
            continue;   // the canonical path of a missing folder is empty
        EXPECT_EQ(QString::fromUtf8(r->settings.entries[0].valueText), c.expected) << qPrintable(c.text);
    }
}

TEST(MonitorRecord, CopyOfARecordWithoutIdWarnsAndOfNothingIsZero)
{
    CapturedMessages messages;
    stZamMonitorPtr oneOff = record(Optional<int>(), 0, {});
    stZamMonitorPtr w = stZamMonitor::copyForPoll(oneOff);
    EXPECT_TRUE(messages.lines().contains("warning: attempt to get null value from Optional<>"));
    stZamMonitorPtr empty = stZamMonitor::copyForPoll(stZamMonitorPtr());
    EXPECT_EQ(empty->typeIndex, 0u);
    EXPECT_STREQ(empty->hostName, "");
    EXPECT_EQ(empty->selfRecord, empty.data());
}

TEST(MonitorRecord, ResultSectionsGoToTheRecordsOwnBuffer)
{
    stZamMonitorPtr stored = record(3, 0, {});
    stZamMonitorPtr w = stZamMonitor::copyForPoll(stored);
    struct Case { unsigned size; int length; char tail; };
    const Case cases[] = {{5, 16, 11}, {7, 16, 9}, {8, 32, 24}};
    for (const Case& c : cases) {
        w->clearResults();
        void* data = pluginResultMemory(w.data(), c.size, 9);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(w->resultSections.size(), c.length);
        EXPECT_EQ(static_cast<char*>(data) - w->resultSections.constData(), 8);
        quint32 length;
        qint32 type;
        memcpy(&length, w->resultSections.constData(), 4);
        memcpy(&type, w->resultSections.constData() + 4, 4);
        EXPECT_EQ(length, static_cast<quint32>(c.length));
        EXPECT_EQ(type, 9);
        EXPECT_EQ(w->resultSections.at(c.length - 1), c.tail);
    }
    pluginResultMemory(w.data(), 1, 0);
    EXPECT_EQ(w->resultSections.size(), 32 + 16);
    EXPECT_TRUE(stored->resultSections.isEmpty());
    clearResults(w.data());
    EXPECT_TRUE(w->resultSections.isEmpty());
}

TEST(MonitorRecord, FuzzSeedsAreAcceptedRecords)
{
    const QDir corpus(testpaths::sourceDir() + "/fuzz/monitor_record/corpus");
    const QStringList seeds = corpus.entryList(QDir::Files);
    ASSERT_FALSE(seeds.isEmpty());
    for (const QString& name : seeds) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        stZamMonitorPtr r;
        EXPECT_EQ(readStream(bytes, r), QString()) << qPrintable(name);
        EXPECT_EQ(streamOf(*r), bytes) << qPrintable(name);
    }
}

TEST(MonitorRecord, EveryPollOfACopySeesTheSameExpansion)
{
    // "$$" stands for a dollar sign: expanding the expanded text again would change it.
    stZamMonitorPtr stored = record(13, 0, {setting(" Cmd", 's', "echo $$InstallDir\u00a0x")});
    stZamMonitorPtr w = stZamMonitor::copyForPoll(stored);
    w->prepareForPoll();
    const QByteArray first = w->settings.entries[0].valueText;
    w->prepareForPoll();
    EXPECT_EQ(QByteArray(w->settings.entries[0].valueText), first);
    EXPECT_EQ(first, QByteArray("echo $InstallDir\nx"));
}
