// Settings of the VMware monitors: credentials, object name, metric and the unit code that
// applies to the metric, per object kind.

#include "VMware/VMwareOptions.h"
#include "support/PluginTestRecord.h"

#include <gtest/gtest.h>

TEST(VMwareOptions, ReadsSettingsPerKind)
{
    struct Case
    {
        const char* label;
        VMwareObjectType kind;
        int metric;
        int expectedUnit;
        const char* expectedName;
    };
    const Case cases[] = {
        {"host reads CPU percent units", VMwareHostSystem, 1, 10, ""},
        {"virtual machine reads its name and data units", VMwareVirtualMachine, 17, 5, "vm\xc3\xa9"},
        {"datastore reads time units", VMwareDatastore, 23, 9, "ds2"},
        {"datastore ignores CPU units", VMwareDatastore, 1, 0, "ds2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PluginTestRecord rec;
        rec.setHost("esx.test", "127.0.0.1", false);
        rec.addSetting("Domain", "corp");
        rec.addSetting("User Name", "root", 0, 'l');
        rec.addSetting("Password", "p&ss<", 0, 'p');
        rec.addSetting("Metric", nullptr, c.metric, 'e');
        rec.addSetting("CPU measurement units with percent", nullptr, 10, 'e');
        rec.addSetting("Data measurement units", nullptr, 5, 'e');
        rec.addSetting("Time measurement units", nullptr, 9, 'e');
        rec.addSetting("Virtual Machine Name", "vm\xc3\xa9");
        rec.addSetting("Datastore Name", "ds2");
        VMwareOptions options;
        ASSERT_TRUE(options.getOptions(&rec.mon, c.kind));
        EXPECT_EQ(options.address, QLatin1String("127.0.0.1"));
        EXPECT_EQ(options.user, QLatin1String("root"));
        EXPECT_EQ(options.password, QLatin1String("p&ss<"));
        EXPECT_EQ(options.metric, c.metric);
        EXPECT_EQ(options.unit, c.expectedUnit);
        EXPECT_EQ(options.objectName, QString::fromUtf8(c.expectedName));
    }
}

TEST(VMwareOptions, MissingSettingsAndBrokenRecord)
{
    PluginTestRecord rec;
    rec.addSetting("Metric", nullptr, 12, 'e');
    VMwareOptions options;
    ASSERT_TRUE(options.getOptions(&rec.mon, VMwareHostSystem));
    EXPECT_EQ(options.unit, 0);  // no speed setting: unscaled
    EXPECT_TRUE(options.user.isEmpty());

    rec.mon.settings.count = 3;
    rec.mon.settings.entries = nullptr;
    EXPECT_FALSE(options.getOptions(&rec.mon, VMwareHostSystem));
    EXPECT_STREQ(rec.mon.failReason, "Incorrect monitor parameters");
}
