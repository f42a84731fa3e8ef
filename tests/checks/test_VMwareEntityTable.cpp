// The selection read from an entity table as the service hands it back: only name fields are
// compared, incomplete groups name no id, and empty parts count as fields.

#include "VMware/VMwareEntityTable.h"

#include <gtest/gtest.h>

namespace {

QString fields(std::initializer_list<const char*> parts)
{
    QStringList list;
    for (const char* p : parts)
        list.append(QString::fromUtf8(p));
    return list.join(QChar(VMwareEntityTable::kSeparator));
}

}  // namespace

TEST(VMwareEntityTable, SelectionTable)
{
    using namespace VMwareEntityTable;
    struct Case
    {
        const char* label;
        QString setting;
        int perObject;
        const char* name;
        const char* id;
    };
    const Case cases[] = {
        {"plain name", fields({"vm1"}), kMachineFields, "vm1", ""},
        {"second machine", fields({"vm2", "vm1", "poweredOn", "vm-1", "vm2", "poweredOff", "vm-2"}), kMachineFields, "vm2", "vm-2"},
        {"name equal to an earlier state", fields({"poweredOn", "vm1", "poweredOn", "vm-1", "poweredOn", "poweredOn", "vm-3"}),
         kMachineFields, "poweredOn", "vm-3"},
        {"name equal to an earlier id", fields({"vm-1", "vm1", "poweredOn", "vm-1", "vm-1", "poweredOff", "vm-9"}),
         kMachineFields, "vm-1", "vm-9"},
        {"first of two equal names", fields({"a", "a", "x", "id-1", "a", "y", "id-2"}), kMachineFields, "a", "id-1"},
        {"group cut short", fields({"vm1", "vm1", "poweredOn"}), kMachineFields, "vm1", ""},
        {"missing field shifts the groups", fields({"vm2", "vm1", "vm-1", "vm2", "poweredOff", "vm-2"}), kMachineFields, "vm2", ""},
        {"trailing extra field", fields({"vm1", "vm1", "poweredOn", "vm-1", "x"}), kMachineFields, "vm1", "vm-1"},
        {"empty selection never matches", fields({"", "", "poweredOn", "vm-0"}), kMachineFields, "", ""},
        {"datastore", fields({"ds2", "ds1", "datastore-1", "ds2", "datastore-2"}), kDatastoreFields, "ds2", "datastore-2"},
        {"datastore named like an id", fields({"datastore-1", "ds1", "datastore-1", "datastore-1", "datastore-7"}),
         kDatastoreFields, "datastore-1", "datastore-7"},
        {"other script", fields({"データ", "データ", "ds-7"}), kDatastoreFields, "データ", "ds-7"},
        {"empty setting", QString(), kDatastoreFields, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Selection s = select(c.setting, c.perObject);
        EXPECT_EQ(s.name, QString::fromUtf8(c.name));
        EXPECT_EQ(s.id, QString::fromUtf8(c.id));
    }
}

TEST(VMwareEntityTable, AppendedGroupsReadBack)
{
    using namespace VMwareEntityTable;
    QString table = QStringLiteral("vm2");
    appendObject(table, {QStringLiteral("vm1"), QStringLiteral("poweredOn"), QStringLiteral("vm-1")});
    appendObject(table, {QStringLiteral("vm2"), QString(), QStringLiteral("vm-2")});
    EXPECT_EQ(table, fields({"vm2", "vm1", "poweredOn", "vm-1", "vm2", "", "vm-2"}));
    EXPECT_EQ(select(table, kMachineFields).id, QLatin1String("vm-2"));
}
