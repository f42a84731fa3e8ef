// Result sections composed through the host's memory and discovered monitors through its callback.

#include "ZamResultSection.h"
#include "support/PluginTestHost.h"
#include "zam_compose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

class ResultSections : public ::testing::Test
{
protected:
    void SetUp() override
    {
        zam_plugin_register_log_cb(&PluginTestHost::logSink);
        zam_plugin_register_getmem_cb(&PluginTestHost::resultMemory);
    }
    void TearDown() override
    {
        zam_plugin_register_log_cb(nullptr);
        zam_plugin_register_getmem_cb(nullptr);
    }
    uint32_t u32(size_t offset) const
    {
        uint32_t v;
        std::memcpy(&v, rec.sections.data() + offset, 4);
        return v;
    }

    PluginTestHost host{QString()};
    PluginTestRecord rec;
};

TEST_F(ResultSections, LayoutOfOneSection)
{
    struct {
        size_t dataSize;
        uint32_t length;
        unsigned padding;
    } cases[] = {{5, 16, 2}, {8, 32, 15}, {7, 16, 0}, {0, 16, 7}, {23, 32, 0}, {24, 48, 15}, {1000, 1024, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataSize);
        rec.sections.assign(3, 0xEE);  // something already in the buffer
        std::vector<unsigned char> data(c.dataSize, 0xAB);
        compose_zam_memory(&rec.mon, data.data(), static_cast<unsigned>(c.dataSize), 42);
        ASSERT_EQ(rec.sections.size(), 3 + c.length);
        EXPECT_EQ(u32(3), c.length);
        EXPECT_EQ(u32(7), 42u);
        if (c.dataSize > 0) {
            EXPECT_EQ(std::memcmp(rec.sections.data() + 11, data.data(), c.dataSize), 0);
        }
        for (unsigned i = 0; i < c.padding; ++i)
            EXPECT_EQ(rec.sections[11 + c.dataSize + i], 0) << "padding byte " << i;
        EXPECT_EQ(rec.sections.back(), c.padding + 9);
    }
}

TEST_F(ResultSections, ComposersWriteTheirTypes)
{
    compose_MEASURE_UNIT(&rec.mon, "msec");
    ASSERT_EQ(rec.sections.size(), 16u);
    EXPECT_EQ(rec.sections[15], 11);
    EXPECT_EQ(std::memcmp(rec.sections.data() + 8, "msec\0\0\0", 7), 0);

    rec.sections.clear();
    compose_INT64_PERFVAL_MEASURE_UNIT(&rec.mon, 5000000000LL, "MB");
    std::vector<int> types;
    for (size_t pos = 0; pos < rec.sections.size(); pos += u32(pos))
        types.push_back(static_cast<int>(u32(pos + 4)));
    EXPECT_EQ(types, (std::vector<int>{0, 12, 1}));
    bool ok = false;
    auto byType = rec.sectionsByType(&ok);
    EXPECT_TRUE(ok);
    int32_t low;
    int64_t full;
    ASSERT_EQ(byType[0].size(), 4);
    std::memcpy(&low, byType[0].constData(), 4);
    ASSERT_EQ(byType[12].size(), 8);
    std::memcpy(&full, byType[12].constData(), 8);
    EXPECT_EQ(low, 705032704);
    EXPECT_EQ(full, 5000000000LL);
    EXPECT_EQ(byType[1], QByteArray("MB", 3));

    compose_UTF8_DISPLAY_VALUE(&rec.mon, "12 \xC2\xB0" "C");
    compose_zam_memsect_entity_table(&rec.mon, "if1\x1e" "if2", ZAM_SECTION_SNMP_INTERFACES);
    compose_zam_memsect_entity_table(&rec.mon, nullptr, ZAM_SECTION_VMWARE_VMS);
    byType = rec.sectionsByType(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(byType[9], QByteArray("12 \xC2\xB0" "C", 7));
    EXPECT_EQ(byType[3], QByteArray("if1\x1e" "if2", 8));
    EXPECT_EQ(byType[7], QByteArray("", 1));
}

TEST_F(ResultSections, LaterSectionOfATypeReplacesEarlierOne)
{
    compose_INT64_PERFVAL(&rec.mon, 1);
    compose_MEASURE_UNIT(&rec.mon, "a");
    compose_INT64_PERFVAL(&rec.mon, 2);
    const auto byType = rec.sectionsByType();
    int64_t v;
    std::memcpy(&v, byType.at(12).constData(), 8);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(byType.at(1), QByteArray("a", 2));
    EXPECT_EQ(byType.size(), 2u);
}

TEST_F(ResultSections, NoMemoryThrows)
{
    rec.refuseMemory = true;
    try {
        compose_MEASURE_UNIT(&rec.mon, "x");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot allocate memory for polling results");
    }
    rec.refuseMemory = false;
    zam_plugin_register_getmem_cb(nullptr);
    EXPECT_THROW(compose_INT64_PERFVAL(&rec.mon, 1), std::runtime_error);
    EXPECT_TRUE(rec.sections.empty());
}

TEST(ResultSectionReader, RejectsMalformedBuffers)
{
    auto section = [](uint32_t length, int32_t type, unsigned char tail) {
        std::vector<unsigned char> b(length >= 8 ? length : 8, 0);
        std::memcpy(b.data(), &length, 4);
        std::memcpy(b.data() + 4, &type, 4);
        if (length >= 9)
            b[length - 1] = tail;
        return b;
    };
    struct {
        const char* what;
        std::vector<unsigned char> bytes;
        bool ok;
    } cases[] = {
        {"empty", {}, true},
        {"good", section(16, 1, 11), true},
        {"short", {1, 2, 3}, false},
        {"length not a multiple of 16", section(24, 1, 9), false},
        {"length zero", section(16, 1, 11), false},
        {"length past the end", section(16, 1, 11), false},
        {"tail too small", section(16, 1, 8), false},
        {"tail too large", section(16, 1, 25), false},
        {"tail longer than the section", section(16, 1, 24), false},
        {"tail of an empty section", section(16, 1, 16), true},
    };
    std::memset(cases[4].bytes.data(), 0, 4);
    const uint32_t huge = 0xFFFFFFF0u;
    std::memcpy(cases[5].bytes.data(), &huge, 4);
    for (const auto& c : cases) {
        std::map<int, zamsection::View> out;
        EXPECT_EQ(zamsection::read(c.bytes.data(), c.bytes.size(), out), c.ok) << c.what;
        for (const auto& v : out)
            EXPECT_LE(v.second.offset + v.second.size, c.bytes.size()) << c.what;
    }
    std::vector<unsigned char> big;
    EXPECT_EQ(zamsection::append(big, 1, size_t(1) << 32), SIZE_MAX);
    EXPECT_TRUE(big.empty());
}

TEST_F(ResultSections, NewMonitorsGoThroughTheHostsCallback)
{
    QMap<QString, CZamNewMonitorSetting> settings;
    settings.insert(QStringLiteral("Port"), CZamNewMonitorSetting(QVariant(161), true));
    settings.insert(QStringLiteral("Community"), CZamNewMonitorSetting(QVariant(QStringLiteral("vellum")), false));
    settings.insert(QStringLiteral("Counter"), CZamNewMonitorSetting(QVariant(qint64(5000000000LL)), false));

    addNewMonitor(&rec.mon, QStringLiteral("SNMP Traffic Speed"), QStringLiteral("eth0 \xC3\xA9"), settings);
    EXPECT_TRUE(rec.newMonitors.empty());
    EXPECT_EQ(host.logTexts(ZAM_LOG_ERROR), QStringList{QStringLiteral("cannot find function for adding new monitor")});

    rec.acceptNewMonitors();
    addNewMonitor(&rec.mon, QStringLiteral("SNMP Traffic Speed"), QString::fromUtf8("eth0 \xC3\xA9"), settings);
    ASSERT_EQ(rec.newMonitors.size(), 1u);
    const PluginNewMonitor& found = rec.newMonitors[0];
    EXPECT_EQ(found.typeName, QStringLiteral("SNMP Traffic Speed"));
    EXPECT_EQ(found.name, QString::fromUtf8("eth0 \xC3\xA9"));
    ASSERT_EQ(found.settings.size(), 3u);
    // Key order, hex of the version-12 stream form, the flag.
    EXPECT_EQ(found.settings[0].name, QStringLiteral("Community"));
    EXPECT_EQ(found.settings[0].value, QVariant(QStringLiteral("vellum")));
    EXPECT_EQ(found.settings[1].name, QStringLiteral("Counter"));
    EXPECT_EQ(found.settings[1].value, QVariant(qint64(5000000000LL)));
    EXPECT_EQ(found.settings[2].name, QStringLiteral("Port"));
    EXPECT_EQ(found.settings[2].hexValue, QByteArray("0000000200000000a1"));
    EXPECT_EQ(found.settings[2].flag, 1);
    EXPECT_EQ(found.settings[0].flag, 0);
    for (const auto& s : found.settings)
        EXPECT_EQ(s.hexValue, s.hexValue.toLower());

    addNewMonitor(&rec.mon, QStringLiteral("T"), QStringLiteral("n"), {});
    ASSERT_EQ(rec.newMonitors.size(), 2u);
    EXPECT_TRUE(rec.newMonitors[1].settings.empty());
    addNewMonitor(nullptr, QStringLiteral("T"), QStringLiteral("n"), {});
}

TEST(InterfaceNames, TruncatedToTwentyCharactersAtWordBoundaries)
{
    struct {
        const char* name;
        const char* result;
    } cases[] = {
        {"Intel(R) PRO/1000 MT Network Connection", "Intel(R) PRO/1000 MT"},
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrst"},
        {"  eth0  ", "eth0"},
        {"a  b\tc", "a b c"},
        {"exactly twenty chars", "exactly twenty chars"},
        {"nineteen characters", "nineteen characters"},
        {"averyveryverylongword1 x", "averyveryverylongwor"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(truncateInterfaceName(QString::fromUtf8(c.name)), QString::fromUtf8(c.result)) << c.name;
}

}  // namespace
