// The daemon's binding on the real checks library from the build's plugins folder.
#include "support/CapturedMessages.h"
#include "engine/CPluginLibrary.h"
#include "engine/CPluginThreadInstance.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginLibraryReal, LoadsTheChecksLibraryFromThePluginsFolder)
{
    CapturedMessages messages;
    CPluginLibraryPtr lib(new CPluginLibrary(1));
    EXPECT_EQ(CapturedMessages::count(QStringLiteral("warning: attempt to get null value from Optional<>")), 1);
    int types = 0;
    int actions = 0;
    EXPECT_EQ(lib->getCount(&types, &actions), 0);
    EXPECT_EQ(types, 50);
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(lib->isMonitorTypeSupported(21));
    EXPECT_FALSE(lib->isMonitorTypeSupported(10));
    const stZamMonitorType* type = nullptr;
    EXPECT_EQ(lib->getMonType(49, &type), 0);
    ASSERT_NE(type, nullptr);
    EXPECT_STREQ(type->name, "PostgreSQL Database");

    CPluginThreadInstancePtr instance(new CPluginThreadInstance(lib));
    stZamMonitor mon{};
    mon.typeIndex = 10;
    EXPECT_EQ(instance->poll(&mon, QStringLiteral("windows service")), 1);
    EXPECT_STREQ(mon.failReason, "Monitor type 'Windows Service' has not been implemented yet.");
    const QStringList warnings = CapturedMessages::lines().filter(QStringLiteral("stack damage"));
    EXPECT_TRUE(warnings.isEmpty());
}

}  // namespace
