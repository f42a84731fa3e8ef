// The descriptors and settings tables as the daemon and the central service see them: read out
// of the built libzam_core.so and compared with a reviewed dump of the published tables.

#include <gtest/gtest.h>

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "support/PluginTestHost.h"

namespace {

std::string quoted(const char* text) {
    if (!text)
        return "null";
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 32 || c == 127) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);  // UTF-8 stays as it is
            }
        }
    }
    return out + "\"";
}

std::string letter(int value) {
    if (value > 32 && value < 127)
        return std::string("'") + static_cast<char>(value) + "'";
    return "#" + std::to_string(value);
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

// Types without code publish placeholder rows that nobody reads; only their count is dumped.
std::string dumpType(unsigned index, const stZamMonitorType* t, bool hasCode) {
    std::string out = format("type %u ", index) + quoted(t->name) + (hasCode ? "" : " (descriptor only)") + "\n";
    out += "  description " + quoted(t->description) + "\n";
    if (hasCode)
        out += "  short description " + quoted(t->shortDescription) + "\n";
    out += format("  category %d, interval %d, unit ", t->category, t->defaultInterval) + quoted(t->unit) +
           ", flag chars " + letter(t->flagChar1) + " " + letter(t->flagChar2) +
           format(", flags 0x%x 0x%x, kind %d, protocol mask %d, resource mask %lld\n", t->flags1, t->flags2, t->kind,
                  t->protocolMask, static_cast<long long>(t->resourceMask));
    if (!hasCode)
        return out + format("  settings %d (rows not published)\n\n", t->settingsCount);
    out += format("  settings %d\n", t->settingsCount);
    for (int i = 0; i < t->settingsCount && t->settings; ++i) {
        const stZamSettingDesc& s = t->settings[i];
        out += format("  setting %d ", i) + quoted(s.name) + " type " + letter(s.type) + "\n";
        out += "    description " + quoted(s.description) + "\n";
        out += "    default text " + quoted(s.defaultText) +
               format(", default %lld, range %lld..%lld, choices %d\n", static_cast<long long>(s.defaultInt),
                      static_cast<long long>(s.min), static_cast<long long>(s.max), s.enumCount);
        for (int e = 0; e < s.enumCount && s.enums; ++e) {
            const stZamEnumRow& c = s.enums[e];
            out += "    choice " + quoted(c.label) + format(" = %d, disables ", c.value) + quoted(c.disables) + "\n";
            out += "      description " + quoted(c.description) + "\n";
        }
    }
    return out + "\n";
}

// Rows whose type has code; only their settings tables are published in full.
const std::set<unsigned> kTypesWithCode = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  13, 14, 16, 19, 20, 21, 22,
                                           23, 29, 30, 31, 32, 33, 34, 35, 36, 42, 43, 44, 45, 46, 48, 49};

// The descriptors as the daemon reads them: through the exports of the built library, loaded
// and initialised the way the daemon does it.
class SettingsTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.load()) << host.error().toStdString();
        int monitorTypes = 0, actionTypes = 0;
        ASSERT_EQ(0, host.api().get_count(host.ctx(), &monitorTypes, &actionTypes));
        ASSERT_EQ(ZAM_MONITOR_TYPE_COUNT, monitorTypes);
        for (unsigned i = 0; i < static_cast<unsigned>(monitorTypes); ++i) {
            const stZamMonitorType* t = nullptr;
            ASSERT_EQ(0, host.api().get_monitor_type(host.ctx(), i, &t)) << i;
            ASSERT_NE(nullptr, t) << i;
            types.push_back(t);
            ASSERT_EQ(kTypesWithCode.count(i) ? 1 : 0, host.api().is_monitor_type_supported(host.ctx(), i)) << i;
        }
    }
    bool hasCode(size_t index) const { return kTypesWithCode.count(static_cast<unsigned>(index)) != 0; }

    PluginTestHost host;
    std::vector<const stZamMonitorType*> types;
};

// Every descriptor field and every settings and choice row, compared line by line with the
// reviewed dump; on a difference the whole actual dump is left beside the test binary.
TEST_F(SettingsTables, DumpMatchesPublishedTables) {
    std::string actual =
        "# Descriptors and settings tables published by libzam_core.so, one block per type index.\n"
        "# Texts are quoted with \\\\, \\\" and \\n escaped; null is a null pointer.\n\n";
    for (size_t i = 0; i < types.size(); ++i)
        actual += dumpType(static_cast<unsigned>(i), types[i], hasCode(i));

    QFile golden(testpaths::sourceDir() + "/tests/checks/data/settings_tables.golden");
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << golden.fileName().toStdString();
    const std::string expected = golden.readAll().toStdString();
    if (actual == expected)
        return;

    const QString actualPath = testpaths::buildDir() + "/test-bin/settings_tables.actual";
    QSaveFile out(actualPath);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(actual.data(), static_cast<qint64>(actual.size()));
        out.commit();
    }
    size_t line = 1, a = 0, e = 0;
    while (a < actual.size() && e < expected.size()) {
        const size_t an = actual.find('\n', a), en = expected.find('\n', e);
        const std::string al = actual.substr(a, an == std::string::npos ? std::string::npos : an - a);
        const std::string el = expected.substr(e, en == std::string::npos ? std::string::npos : en - e);
        if (al != el) {
            ADD_FAILURE() << "first difference at line " << line << "\n  expected: " << el << "\n  actual:   " << al
                          << "\nwhole dump: " << actualPath.toStdString();
            return;
        }
        if (an == std::string::npos || en == std::string::npos)
            break;
        a = an + 1;
        e = en + 1;
        ++line;
    }
    ADD_FAILURE() << "dumps differ in length after line " << line << "; whole dump: " << actualPath.toStdString();
}

// Rules the tables keep among themselves, so a later edit cannot quietly break a choice list.
// The two exceptions are faults of the published tables that the service already stores.
TEST_F(SettingsTables, ChoicesAndDisabledSettingsAreConsistent) {
    const std::set<std::pair<std::string, std::string>> defaultOutsideChoices = {{"HTTP(S)", "HTTP Version"}};
    const std::set<std::pair<std::string, std::string>> disablesUnknownName = {{"SNMP Custom", "Counter Type"}};
    int typesWithCode = 0;
    for (size_t i = 0; i < types.size(); ++i) {
        const stZamMonitorType* t = types[i];
        ASSERT_TRUE(t->name && t->description && t->shortDescription && t->unit) << i;
        ASSERT_TRUE(t->settingsCount == 0 || t->settings) << t->name;
        for (int r = 0; r < t->settingsCount; ++r)
            ASSERT_TRUE(t->settings[r].name && t->settings[r].description) << t->name << " row " << r;
        if (!hasCode(i))
            continue;
        ++typesWithCode;
        ASSERT_GT(t->settingsCount, 0) << t->name;
        std::set<std::string> names;
        for (int r = 0; r < t->settingsCount; ++r)
            EXPECT_TRUE(names.insert(t->settings[r].name).second) << t->name << ": twice " << t->settings[r].name;
        for (int r = 0; r < t->settingsCount; ++r) {
            const stZamSettingDesc& s = t->settings[r];
            const auto key = std::make_pair(std::string(t->name), std::string(s.name));
            const bool choiceKind = s.type == 'e' || s.type == 'E';
            EXPECT_EQ(choiceKind, s.enumCount > 0) << t->name << " / " << s.name;
            EXPECT_EQ(s.enumCount > 0, s.enums != nullptr) << t->name << " / " << s.name;
            const bool ranged = s.min != 0 || s.max != 0;
            if (ranged && !s.defaultText) {
                EXPECT_TRUE(s.min <= s.defaultInt && s.defaultInt <= s.max) << t->name << " / " << s.name;
            }
            bool defaultFound = false;
            std::set<int> values;
            for (int e = 0; e < s.enumCount; ++e) {
                const stZamEnumRow& c = s.enums[e];
                ASSERT_TRUE(c.label && c.description) << t->name << " / " << s.name << " choice " << e;
                EXPECT_TRUE(values.insert(c.value).second) << t->name << " / " << s.name << ": value twice";
                defaultFound = defaultFound || c.value == s.defaultInt;
                if (ranged) {
                    EXPECT_TRUE(s.min <= c.value && c.value <= s.max) << t->name << " / " << s.name << " / " << c.label;
                }
                if (!c.disables)
                    continue;
                const std::string list = c.disables;
                for (size_t from = 0; from <= list.size();) {
                    size_t comma = list.find(',', from);
                    if (comma == std::string::npos)
                        comma = list.size();
                    const std::string name = list.substr(from, comma - from);
                    EXPECT_EQ(disablesUnknownName.count(key) == 0, names.count(name) == 1)
                        << t->name << " / " << s.name << " / " << c.label << " disables \"" << name << "\"";
                    from = comma + 1;
                }
            }
            if (choiceKind) {
                EXPECT_EQ(defaultOutsideChoices.count(key) == 0, defaultFound) << t->name << " / " << s.name;
            }
        }
    }
    EXPECT_EQ(33, typesWithCode);
}

}  // namespace
