#include "MonitorRecordFixtures.h"
#include "support/CapturedMessages.h"
#include "core/PerformanceStatistics.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/FindSettingValue.h"
#include "engine/ResultBufferReader.h"
#include "engine/ResultValueAndUnit.h"
#include "engine/SettingRecordBuilders.h"
#include "engine/SettingTests.h"

#include <gtest/gtest.h>

namespace {

const QString kAbsent = QStringLiteral("warning: attempt to get null value from Optional<>");

SSettingDescriptor descriptor(int id, char kind, const QString& name, const QString& description = QString())
{
    SSettingDescriptor d;
    d.id = id;
    d.kind = kind;
    d.name = name;
    if (!description.isNull())
        d.description = description;
    return d;
}

SSettingValue value(Optional<int> settingId, Optional<int> intValue, Optional<QString> text)
{
    SSettingValue v;
    v.settingId = settingId;
    v.intValue = intValue;
    v.textValue = text;
    return v;
}

SMonitorSetting named(const QByteArray& displayName, char kind, Optional<int> intValue)
{
    return fixtures::setting(displayName, kind, QString(), intValue);
}

} // namespace

TEST(SettingRecordBuilders, SettingFromDescriptorAndValue)
{
    SSettingDescriptor port = descriptor(5, 'i', QStringLiteral("Port"), QStringLiteral("TCP port"));
    port.minValue = 1;
    port.maxValue = Optional<int>::null();
    SEnumDescriptor fast;
    fast.name = QStringLiteral("Fast");
    fast.value = 2;
    fast.disabledNames = QStringLiteral("Timeout");
    port.enumDescriptors << fast;

    const SMonitorSetting s = makeMonitorSetting(value(5, 8080, QStringLiteral("8080")), port, true, QStringLiteral("m1"));
    EXPECT_EQ(s.name, "setting Port for m1");
    EXPECT_EQ(s.displayName.name, "display name for setting Port for m1");
    EXPECT_EQ(s.displayHint.name, "display hint for setting Port for m1");
    EXPECT_EQ(s.valueString.name, "value string for setting Port for m1");
    EXPECT_EQ(s.displayName.value(), "Port");
    EXPECT_EQ(s.displayHint.value(), "TCP port");
    EXPECT_EQ(s.kind, 'i');
    EXPECT_EQ(s.minValue, Optional<int>(1));
    EXPECT_TRUE(s.maxValue.isNull());   // copied with its state
    EXPECT_EQ(s.intValue, Optional<int>(8080));
    EXPECT_EQ(s.valueText, "8080");
    ASSERT_EQ(s.enumValues.size(), 1);
    const SSettingEnumValue& e = s.enumValues.first();
    EXPECT_EQ(e.name, "enum Fast for setting Port for m1");
    EXPECT_EQ(e.displayName.name, "display name for enum Fast for setting Port for m1");
    EXPECT_EQ(e.disabledNames.name, "disabled names for enum Fast for setting Port for m1");
    EXPECT_EQ(e.displayName.value(), "Fast");
    EXPECT_EQ(e.displayHint.value(), "");
    EXPECT_EQ(e.disabledNames.value(), "Timeout");
    EXPECT_EQ(e.value, 2);
}

TEST(SettingRecordBuilders, CredentialsTakeAdminMacrosOrDecodedValues)
{
    const struct {
        char kind;
        bool admin;
        const char* text;
        bool intSet;
    } cases[] = {
        {'l', true, "$AdminName", false},
        {'p', true, "$AdminPassword", false},
        {'d', true, "$AdminDomain", false},
        {'s', true, "610062006300", true},   // not a credential: the value as it is
        {'p', false, "abc", true},           // decoded
        {'l', false, "610062006300", true},
    };
    for (const auto& c : cases) {
        const SMonitorSetting s = makeMonitorSetting(value(1, 7, QStringLiteral("610062006300")),
                                                     descriptor(1, c.kind, QStringLiteral("Secret")), c.admin,
                                                     QStringLiteral("m"));
        EXPECT_EQ(s.valueText, QString::fromLatin1(c.text)) << c.kind << c.admin;
        EXPECT_EQ(s.intValue.hasValue(), c.intSet) << c.kind << c.admin;
    }
    // A password without a text stays empty.
    const SMonitorSetting none = makeMonitorSetting(value(1, 7, Optional<QString>()),
                                                    descriptor(1, 'p', QStringLiteral("Secret")), false, "m");
    EXPECT_EQ(none.valueText, QString());
}

TEST(SettingRecordBuilders, SettingFromNameAndClearing)
{
    const SMonitorSetting s = monitorSettingFromName(QStringLiteral("Host"));
    EXPECT_EQ(s.name, "Host");
    EXPECT_EQ(s.displayName.name, "unknown");
    EXPECT_EQ(s.displayName.value(), "Host");
    EXPECT_EQ(s.displayHint.value(), "");
    EXPECT_EQ(s.kind, 's');
    EXPECT_EQ(s.valueText, "Host");
    EXPECT_TRUE(s.intValue.isUnset());

    stZamMonitorPtr r = fixtures::record(1, 1, {fixtures::setting("Port", 'i', "80", 80), s});
    stZamMonitorPtr copy = stZamMonitor::copyForPoll(r);
    ASSERT_EQ(copy->settings.count, 2u);
    clearSettings(*copy);
    EXPECT_EQ(copy->settings.count, 0u);
    EXPECT_EQ(copy->settings.entries, nullptr);
    EXPECT_TRUE(copy->settingRecords.isEmpty());
    EXPECT_TRUE(copy->settingEntries.empty());
    EXPECT_EQ(r->settingRecords.size(), 2);   // the stored record keeps its own
    EXPECT_EQ(r->settings.count, 2u);
}

TEST(SettingTests, RecogniseSettingsOfTypes)
{
    int takeDelta = -5;
    EXPECT_EQ(scriptTakeDelta(named("Take delta", 'y', 1), "Python script", takeDelta), 2);
    EXPECT_EQ(takeDelta, 1);
    EXPECT_EQ(scriptTakeDelta(named("Take delta", 'y', 0), "Script or Program", takeDelta), -1);
    EXPECT_EQ(takeDelta, 0);
    EXPECT_EQ(scriptTakeDelta(named("Take delta", 'y', 1), "python script", takeDelta), -1);   // case of the type
    EXPECT_EQ(takeDelta, 1);
    takeDelta = -5;
    EXPECT_EQ(scriptTakeDelta(named("take delta", 'y', 1), "WMI Query", takeDelta), -1);
    EXPECT_EQ(takeDelta, -5);

    const struct {
        const char* name;
        char kind;
        bool divisor;
    } divisors[] = {{"Divide returned value by", 's', true},
                    {" Divide returned value by", 's', true},
                    {" Divide returned value by", 'i', false},
                    {"Divide returned value by ", 's', false},
                    {"", 's', false}};
    for (const auto& d : divisors)
        EXPECT_EQ(isDivisorText(named(d.name, d.kind, Optional<int>())), d.divisor) << d.name << d.kind;

    int normalize = -1;
    EXPECT_TRUE(snmpProcessMetric(named("Metric", 'e', 1), "SNMP Process", normalize));
    EXPECT_FALSE(snmpProcessMetric(named("Metric", 'e', 2), "SNMP Process", normalize));
    EXPECT_FALSE(snmpProcessMetric(named("Metric", 'e', 1), "SSH Process", normalize));
    EXPECT_EQ(normalize, -1);
    EXPECT_FALSE(snmpProcessMetric(named("Normalize by time", 'y', 1), "SNMP Process", normalize));
    EXPECT_EQ(normalize, 1);
    EXPECT_FALSE(snmpProcessMetric(named("Normalize by time", 'i', 0), "SNMP Process", normalize));
    EXPECT_EQ(normalize, 1);
}

TEST(SettingTests, CounterMode)
{
    const struct {
        const char* name;
        char kind;
        int value;
        int counterIn, deltaIn;
        int counterOut, deltaOut, result;
    } cases[] = {
        {"Take delta", 'y', 0, -1, -1, -1, 0, -1},
        {"Take delta", 'i', 0, 3, -1, 3, 0, 3},
        {"Take delta", 'y', 1, 3, -1, 3, 1, 1},
        {"Take delta", 'y', 1, 0, -1, 0, 1, 2},
        {"Take delta", 'y', 1, 0, 0, 0, 0, 0},     // already known: kept
        {"Counter Type", 'e', 4, -1, 0, 4, 0, 4},
        {"Counter Type", 'i', 4, -1, 0, -1, 0, -1},
        {"Counter Type", 'e', 0, -1, 1, 0, 1, 2},
        {"Other", 'e', 5, 3, 1, 3, 1, 1},
    };
    for (const auto& c : cases) {
        int counterType = c.counterIn;
        int takeDelta = c.deltaIn;
        EXPECT_EQ(counterMode(named(c.name, c.kind, c.value), counterType, takeDelta), c.result) << c.name << c.value;
        EXPECT_EQ(counterType, c.counterOut) << c.name;
        EXPECT_EQ(takeDelta, c.deltaOut) << c.name;
    }
    // A value read without one warns and counts as 0.
    CapturedMessages messages;
    int counterType = 3;
    int takeDelta = -1;
    EXPECT_EQ(counterMode(named("Take delta", 'y', Optional<int>()), counterType, takeDelta), 3);
    EXPECT_EQ(takeDelta, 0);
    EXPECT_EQ(messages.count(kAbsent), 1);
}

TEST(FindSettingValue, LooksUpThroughTheMonitorsTypeAndDescriptors)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    SMonitorTypeConfig tcp;
    tcp.name = QStringLiteral("TCP");
    tcp.settingDescriptors << descriptor(10, 'i', QStringLiteral("Port")) << descriptor(11, 's', QStringLiteral("Send"))
                           << descriptor(12, 's', QStringLiteral("Port"));   // a second descriptor of the name
    SSettingDescriptor noId = descriptor(0, 's', QStringLiteral("Expect"));
    noId.id = Optional<int>();
    tcp.settingDescriptors << noId;
    cm.setMonitorTypeConfig(3, tcp);

    SMonitorConfig m1;
    m1.typeId = 3;
    SSettingValue stale = value(12, 1, QStringLiteral("second"));
    stale.decodingContext = std::make_shared<int>(7);
    SSettingValue unsetId = value(Optional<int>(), 5, QStringLiteral("no id"));
    unsetId.settingId.setRaw(0, 99);   // a stream's state 0 also counts as not set
    m1.settingValues << value(11, Optional<int>(), QStringLiteral("hello")) << stale << unsetId
                     << value(10, 80, QStringLiteral("80"));
    cm.setMonitorConfig(1, m1);
    SMonitorConfig m2;
    m2.typeId = 4;   // no such type
    cm.setMonitorConfig(2, m2);

    stZamMonitorPtr r1 = fixtures::record(1, 1, {});
    stZamMonitorPtr r2 = fixtures::record(2, 1, {});
    stZamMonitorPtr r9 = fixtures::record(9, 1, {});

    const struct {
        const char* what;
        stZamMonitorPtr record;
        const char* type;
        const char* setting;
        bool found;
        const char* text;
    } cases[] = {
        {"first descriptor of the name with a value", r1, "TCP", "Port", true, "80"},
        {"text setting", r1, "TCP", "Send", true, "hello"},
        {"descriptor without id meets a value without id", r1, "TCP", "Expect", true, "no id"},
        {"type name is case-sensitive", r1, "tcp", "Port", false, ""},
        {"no such setting", r1, "TCP", "Receive", false, ""},
        {"type missing from the map", r2, "TCP", "Port", false, ""},
        {"no configuration record", r9, "TCP", "Port", false, ""},
    };
    for (const auto& c : cases) {
        SSettingValue out = value(77, 77, QStringLiteral("untouched"));
        EXPECT_EQ(findSettingValue(cm, *c.record, c.type, c.setting, out), c.found) << c.what;
        EXPECT_EQ(out.textValue.valueOr("untouched"), c.found ? QString(c.text) : QString("untouched")) << c.what;
    }

    // The whole value is copied, decoding context included.
    SMonitorConfig m3 = m1;
    m3.settingValues = {stale};
    cm.setMonitorConfig(3, m3);
    SSettingValue out;
    EXPECT_TRUE(findSettingValue(cm, *fixtures::record(3, 1, {}), "TCP", "Port", out));
    EXPECT_EQ(out.decodingContext, stale.decodingContext);
    EXPECT_EQ(out.intValue, Optional<int>(1));

    // Timings go to the two lock-wait and the two lookup counters; a missing record adds no
    // lookup time.
    const quint32 mapWaits = statisticCounter(STAT_GETCFGMAP_LOCK_WAIT).count;
    const quint32 mapExecs = statisticCounter(STAT_GETCFGMAP_EXEC).count;
    const quint32 cfgWaits = statisticCounter(STAT_GETCFG_LOCK_WAIT).count;
    const quint32 cfgExecs = statisticCounter(STAT_GETCFG_EXEC).count;
    findSettingValue(cm, *r1, "TCP", "Port", out);
    findSettingValue(cm, *r9, "TCP", "Port", out);
    EXPECT_EQ(statisticCounter(STAT_GETCFGMAP_LOCK_WAIT).count, mapWaits + 2);
    EXPECT_EQ(statisticCounter(STAT_GETCFGMAP_EXEC).count, mapExecs + 2);
    EXPECT_EQ(statisticCounter(STAT_GETCFG_LOCK_WAIT).count, cfgWaits + 2);
    EXPECT_EQ(statisticCounter(STAT_GETCFG_EXEC).count, cfgExecs + 1);

    // A monitor without id and without a record warns for each absent value and finds nothing.
    CapturedMessages messages;
    EXPECT_FALSE(findSettingValue(cm, *fixtures::record(Optional<int>(), 1, {}), "TCP", "Port", out));
    EXPECT_EQ(messages.count(kAbsent), 2);   // the monitor id and the type id
}

TEST(FindSettingValue, OptionalIntEquality)
{
    Optional<int> state0;
    state0.setRaw(0, 5);
    const struct {
        Optional<int> a, b;
        bool same;
    } cases[] = {
        {Optional<int>(), Optional<int>(), true},
        {Optional<int>(), state0, true},
        {Optional<int>::null(), Optional<int>::null(), true},
        {Optional<int>::null(), Optional<int>(), false},
        {Optional<int>(3), Optional<int>(3), true},
        {Optional<int>(3), Optional<int>(4), false},
        {Optional<int>(0), Optional<int>(), false},
        {Optional<int>(0), Optional<int>::null(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sameOptionalInt(c.a, c.b), c.same) << c.a.state() << " " << c.b.state();
        EXPECT_EQ(sameOptionalInt(c.b, c.a), c.same) << c.b.state() << " " << c.a.state();
    }
}

TEST(MonitorRecordResults, ReadersAndWriterOnTheRecordsBuffer)
{
    stZamMonitorPtr r = fixtures::record(1, 1, {});
    ASSERT_NE(addResultValueAndUnit(*r, 5000000000LL, "ms"), nullptr);
    EXPECT_EQ(r->resultSections.size(), 96);
    const ResultBufferReader reader(r->resultSections);
    qint64 v = 0;
    QString unit;
    EXPECT_TRUE(reader.pollResultValue(v));
    EXPECT_EQ(v, 5000000000LL);
    EXPECT_TRUE(reader.resultSectionText(unit, 1));
    EXPECT_EQ(unit, "ms");
}
