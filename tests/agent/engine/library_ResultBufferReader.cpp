// The readers give the same answers for the sections that the checks library composes as for
// the daemon's own writer, whose order and sizes differ.

#include "engine/ResultBufferReader.h"
#include "engine/ResultValueAndUnit.h"

#include "ZamResultSection.h"
#include "support/PluginTestRecord.h"
#include "zam_compose.h"

#include <gtest/gtest.h>

namespace {

class LibrarySections : public ::testing::Test
{
protected:
    void SetUp() override { zam_plugin_register_getmem_cb(&PluginTestRecord::resultMemory); }
    void TearDown() override { zam_plugin_register_getmem_cb(nullptr); }
};

} // namespace

TEST_F(LibrarySections, ValueAndUnitReadTheSameFromBothWriters)
{
    for (const qint64 value : {qint64(0), qint64(-3), qint64(5000000000LL), qint64(-5000000000LL)}) {
        PluginTestRecord rec;
        compose_INT64_PERFVAL_MEASURE_UNIT(&rec.mon, value, "MB");
        std::vector<unsigned char> own;
        addResultValueAndUnit([&own](unsigned size, int type) -> void* {
            const size_t at = zamsection::append(own, type, size);
            return own.data() + at;
        }, value, "MB");

        for (const auto* buffer : {&rec.sections, &own}) {
            const ResultBufferReader r(*buffer);
            qint64 read = 0;
            QString unit;
            EXPECT_TRUE(r.pollResultValue(read));
            EXPECT_EQ(read, value);
            EXPECT_TRUE(r.resultSectionText(unit, ZAM_SECTION_MEASURE_UNIT));
            EXPECT_EQ(unit, QStringLiteral("MB"));
        }
    }
}

TEST_F(LibrarySections, DisplayTextAndTables)
{
    PluginTestRecord rec;
    compose_UTF8_DISPLAY_VALUE(&rec.mon, "old");
    compose_UTF8_DISPLAY_VALUE(&rec.mon, "12 \xC2\xB0" "C");
    compose_zam_memsect_entity_table(&rec.mon, "if1\x1e" "if2", ZAM_SECTION_SNMP_INTERFACES);
    const ResultBufferReader r(rec.sections);
    QString text;
    EXPECT_TRUE(r.resultSectionUtf8Text(text, ZAM_SECTION_DISPLAY_VALUE));
    EXPECT_EQ(text, QString::fromUtf8("12 \xC2\xB0" "C"));
    EXPECT_TRUE(r.resultSectionUtf8Text(text, ZAM_SECTION_SNMP_INTERFACES));
    EXPECT_EQ(text, QStringLiteral("if1\x1e" "if2"));
    qint64 value = 0;
    EXPECT_FALSE(r.pollResultValue(value));
}
