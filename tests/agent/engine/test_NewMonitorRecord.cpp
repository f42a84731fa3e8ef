#include "engine/stZamMonitor.h"
#include "engine/BuildNewMonitorInfo.h"
#include "engine/CMonitorEvent.h"

#include <gtest/gtest.h>
#include <QDataStream>
#include <vector>

namespace {
// The hexadecimal version-12 form the library writes for a value.
QByteArray libraryHex(const QVariant& v)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(12);
    out << v;
    return bytes.toHex();
}

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}
}

TEST(NewMonitorRecord, BuiltFromTheLibrarysRequest)
{
    const QByteArray port = libraryHex(QVariant(161));
    const QByteArray first = libraryHex(QVariant(QStringLiteral("eth0")));
    const QByteArray second = libraryHex(QVariant(QStringLiteral("eth1")));
    const QByteArray list = libraryHex(QVariant(QStringList{"a", "b"}));
    const std::vector<stZamNewMonitorSetting> settings = {
        {"Port", port.constData(), 1, 0},
        {"Interface", first.constData(), 0, 0},
        {"Interface", second.constData(), 7, 0},   // the last of a name wins; any non-zero flag is true
        {"Empty", "", 0, 0},                       // no bytes: invalid variant
        {"Junk", "zz-not hex", 0, 0},
        {"List", list.constData(), 0, 0},
    };
    const stZamNewMonitorRequest request{"SNMP Traffic speed", "eth1 on r\xc3\xb6uter", 6, 0, settings.data()};
    const CNewMonitorInfo info = buildNewMonitorInfo(request);
    EXPECT_EQ(info.typeName, QStringLiteral("SNMP Traffic speed"));
    EXPECT_EQ(info.name, QStringLiteral("eth1 on r\u00f6uter"));
    ASSERT_EQ(info.settings.size(), 5);
    EXPECT_EQ(info.settings["Port"].value, QVariant(161));
    EXPECT_TRUE(info.settings["Port"].flag);
    EXPECT_EQ(info.settings["Interface"].value, QVariant(QStringLiteral("eth1")));
    EXPECT_TRUE(info.settings["Interface"].flag);
    EXPECT_EQ(info.settings["Interface"].name, QStringLiteral("Interface"));
    EXPECT_FALSE(info.settings["Empty"].value.isValid());
    EXPECT_FALSE(info.settings["Junk"].value.isValid());
    EXPECT_FALSE(info.settings["Empty"].flag);
    EXPECT_EQ(info.settings["List"].value.toStringList(), (QStringList{"a", "b"}));
    EXPECT_EQ(info.flaggedSettingNames(), (QSet<QString>{"Port", "Interface"}));

    // Count 0 (or a null array): the two names and no settings; its stream form ends in int32 0.
    const stZamNewMonitorRequest bare{"Ping", nullptr, 0, 0, nullptr};
    const CNewMonitorInfo none = buildNewMonitorInfo(bare);
    EXPECT_TRUE(none.settings.isEmpty());
    EXPECT_TRUE(none.name.isEmpty());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    out << none;
    EXPECT_EQ(bytes, hex("00000008 00500069006e0067 ffffffff 00000000"));

    // Round trip of the record the poll response carries.
    QByteArray full;
    QDataStream w(&full, QIODevice::WriteOnly);
    w.setVersion(7);
    w << info;
    QDataStream r(full);
    r.setVersion(7);
    CNewMonitorInfo back;
    r >> back;
    EXPECT_EQ(back.typeName, info.typeName);
    EXPECT_EQ(back.settings.keys(), info.settings.keys());
    EXPECT_EQ(back.settings["Port"].value, QVariant(161));
    EXPECT_EQ(back.flaggedSettingNames(), info.flaggedSettingNames());
}

TEST(MonitorEventBytes, StatusEventInBothValueForms)
{
    SMonitorStatus st(1, 1, 0, SStatusValue{2, 7}, "a", "", {"l"}, QDateTime(), 0);
    const CMonitorEventSetStatus ev(st, SMonitorStatusDetails());
    const QByteArray head = hex("00000003 00000001 00000000 0100");
    const QByteArray tail = hex("00000002 0061 00000000 00 00000000 00000000 00000000 00000000 00000001 00000002 006c");
    struct Case { bool wide; QByteArray value; };
    for (const Case& c : {Case{false, hex("00000007")}, Case{true, hex("0000000000000007")}}) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(7);
        ev.write(out, c.wide);
        EXPECT_EQ(bytes.toHex(), (head + c.value + tail).toHex()) << c.wide;
        QDataStream in(bytes);
        in.setVersion(7);
        CMonitorEventPtr back = CMonitorEvent::fromStream(in, c.wide);
        ASSERT_TRUE(back);
        QByteArray again;
        QDataStream out2(&again, QIODevice::WriteOnly);
        out2.setVersion(7);
        back->write(out2, c.wide);
        EXPECT_EQ(again, bytes);
    }
}
