// The table logic of the SNMP disk space, memory and process jobs on made-up tables: finding a
// disk and listing the others, the figures in each unit, the memory sources, process matching
// and the CPU percentage between table reads.

#include "Snmp/CSnmpDiskSpaceJob.h"
#include "Snmp/CSnmpMemoryJob.h"
#include "Snmp/CSnmpProcessJob.h"
#include "support/PluginTestRecord.h"

#include <gtest/gtest.h>

namespace {

QList<QStringList> storageTable(const QList<QStringList>& rows)
{
    QList<QStringList> table{{}, {}, {}};
    for (const QStringList& row : rows)
        for (int c = 0; c < 3; ++c)
            table[c] << row.value(c);
    return table;
}

TEST(SnmpDiskSpaceJob, PathsInDescriptions)
{
    struct Case {
        const char* text;
        bool isPath;
        const char* path;
    } cases[] = {
        {"/", true, "/"},
        {"/mnt/data disk", true, "/mnt/data disk"},
        {"c:\\ label:system  serial number 1234", true, "c:\\"},
        {"d:\\", true, "d:\\"},
        {"physical memory", false, ""},
        {"c: label", false, ""},
        {"cd:\\ x", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        QString path;
        EXPECT_EQ(CSnmpDiskSpaceJob::extractPath(QString::fromLatin1(c.text), path), c.isPath) << c.text;
        if (c.isPath)
            EXPECT_EQ(path, QString::fromLatin1(c.path)) << c.text;
    }
}

TEST(SnmpDiskSpaceJob, LocatesTheDiskOrListsTheOthers)
{
    PluginTestRecord rec;
    CSnmpDiskSpaceJob job(&rec.mon);
    const QList<QStringList> table = storageTable({{"1", "Physical memory", "1024"},
                                                   {"31", "/", "4096"},
                                                   {"32", "/Boot", "1024"},
                                                   {"40", "C:\\ Label:System", "4096"}});
    job.path = "/BOOT";
    QStringList candidates;
    ASSERT_TRUE(job.locate(table, true, candidates));
    EXPECT_EQ(job.storageIndex, 32);
    EXPECT_EQ(job.allocationUnit, 1024);
    EXPECT_EQ(job.tableKind, CSnmpDiskSpaceJob::kStorageTable);

    job.path = "/nope";
    job.tableKind = CSnmpDiskSpaceJob::kNotFound;
    candidates.clear();
    EXPECT_FALSE(job.locate(table, true, candidates));
    EXPECT_EQ(candidates, (QStringList{"\"/\"", "\"/boot\"", "\"c:\\\""}));
    EXPECT_EQ(job.tableKind, CSnmpDiskSpaceJob::kNotFound);

    // The UCD disk table: two columns, allocation unit 1 at the search.
    job.path = "/";
    candidates.clear();
    ASSERT_TRUE(job.locate({{"1", "2"}, {"/var", "/"}}, false, candidates));
    EXPECT_EQ(job.storageIndex, 2);
    EXPECT_EQ(job.tableKind, CSnmpDiskSpaceJob::kUcdDiskTable);
    // A table cut short (a column missing) finds nothing instead of reading past its end.
    EXPECT_FALSE(job.locate({{"1"}}, true, candidates));
}

TEST(SnmpDiskSpaceJob, FiguresInEachUnit)
{
    PluginTestRecord rec;
    CSnmpDiskSpaceJob job(&rec.mon);
    struct Case {
        int type, units;
        int64_t total, used, unitBytes;
        bool ok;
        int64_t value;
        const char* unit;
    } cases[] = {
        {0, 0, 4000, 1000, 4096, true, 12, " MB"},  // 3000 x 4096 / 2^20 = 11.72
        {0, 2, 4000, 1000, 4096, true, 75, " %"},
        {1, 2, 4000, 1000, 4096, true, 25, " %"},
        {1, 1, 1048576, 262144, 4096, true, 1, " GB"},
        {0, 2, 0, 0, 4096, true, 0, " %"},                                    // empty disk: factor 100
        {0, 0, (int64_t(1) << 32) + 5, 5, 1024, true, 4194304, " MB"},        // UCD high and low words
        {0, 3, 4000, 1000, 4096, false, 0, ""},
    };
    for (const Case& c : cases) {
        job.type = c.type;
        job.units = c.units;
        int64_t value = -1;
        const char* unit = "";
        EXPECT_EQ(job.computeValue(c.total, c.used, c.unitBytes, value, unit), c.ok) << c.units;
        if (!c.ok)
            continue;
        EXPECT_EQ(value, c.value) << c.type << "/" << c.units;
        EXPECT_STREQ(unit, c.unit);
    }
}

TEST(SnmpMemoryJob, SourcesFromTheStorageRows)
{
    PluginTestRecord rec;
    struct Case {
        const char* name;
        QList<QStringList> rows;
        int physical, swap, virt;
    } cases[] = {
        {"all three", {{"1", "PHYSICAL MEMORY", "1024"}, {"3", "Virtual memory", "1024"}, {"10", "Swap space", "1024"}}, 1, 1, 2},
        {"no swap row", {{"1", "Physical memory", "1024"}, {"3", "Virtual memory", "1024"}}, 1, 2, 1},
        {"no physical row", {{"3", "Virtual memory", "1024"}, {"10", "Swap space", "1024"}}, 0, 1, 1},
        {"other rows only", {{"6", "Memory buffers", "1024"}, {"31", "/", "4096"}}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CSnmpMemoryJob job(&rec.mon);
        job.readStorageTable(storageTable(c.rows));
        EXPECT_EQ(job.sources[0], c.physical) << c.name;
        EXPECT_EQ(job.sources[1], c.swap) << c.name;
        EXPECT_EQ(job.sources[2], c.virt) << c.name;
    }
    CSnmpMemoryJob job(&rec.mon);
    job.readStorageTable(storageTable({{"1", "Physical memory", "4096"}}));
    QString size, used;
    int64_t unitBytes = 0;
    job.buildHrSizeAndUsedOids(size, used, unitBytes, QStringLiteral("physical memory"));
    EXPECT_EQ(size, QStringLiteral(".1.3.6.1.2.1.25.2.3.1.5.1"));
    EXPECT_EQ(used, QStringLiteral(".1.3.6.1.2.1.25.2.3.1.6.1"));
    EXPECT_EQ(unitBytes, 4096);
}

TEST(SnmpMemoryJob, FiguresInMegabytesAndPercent)
{
    PluginTestRecord rec;
    struct Case {
        int source, type, units;
        int64_t total, reading, unitBytes;
        int64_t value;
        const char* unit;
    } cases[] = {
        {1, 0, 1, 8388608, 2097152, 1024, 75, " %"},   // 6144 of 8192 MB free
        {1, 1, 0, 8388608, 2097152, 1024, 2048, " MB"},
        {3, 0, 0, 2048000, 512000, 1024, 500, " MB"},   // UCD: the reading is what is free
        {3, 1, 1, 2048000, 512000, 1024, 75, " %"},
        {0, 0, 0, 2048000, 512000, 1024, 500, " MB"},   // no source yet: UCD
        {1, 0, 1, 1000, 10, 1024, 0, " %"},            // under 1 MB in all: no division by 0
    };
    for (const Case& c : cases) {
        CSnmpMemoryJob job(&rec.mon);
        job.sources[0] = c.source;
        job.type = c.type;
        job.units = c.units;
        int64_t value = -1;
        const char* unit = "";
        ASSERT_TRUE(job.processResults(c.total, c.reading, c.unitBytes, value, unit));
        EXPECT_EQ(value, c.value) << c.source << "/" << c.type << "/" << c.units;
        EXPECT_STREQ(unit, c.unit);
        if (c.source == 0)
            EXPECT_EQ(job.sources[0], CSnmpMemoryJob::kUcd);
    }
    CSnmpMemoryJob job(&rec.mon);
    job.units = 2;
    int64_t value = 0;
    const char* unit = "";
    EXPECT_FALSE(job.processResults(1, 1, 1, value, unit));
}

// Rows: index, name, path, parameters, CPU, memory.
QList<QStringList> processTable(const QList<QStringList>& rows)
{
    QList<QStringList> table{{}, {}, {}, {}, {}, {}};
    for (const QStringList& row : rows)
        for (int c = 0; c < 6; ++c)
            table[c] << row.value(c);
    return table;
}

TEST(SnmpProcessJob, MatchesNamePathAndArguments)
{
    PluginTestRecord rec;
    const QList<QStringList> table = processTable({
        {"10", "sshd", "/usr/sbin/sshd", "-f /etc/x -D", "100", "1000"},
        {"11", "SSHD", "C:\\Bin\\SSHD.EXE", "-d", "", ""},
        {"12", "sshd-session", "/usr/sbin/sshd-session", "-D", "7", "2500"},
        {"13", "bash", "/bin/bash", "-c \"echo hi\" x", "1", "10"},
    });
    struct Case {
        const char* name;
        const char* args;
        QStringList indexes;
    } cases[] = {
        {"sshd", "", {"10", "11"}},
        {"/usr/sbin/sshd", "", {"10"}},
        {"c:/bin/sshd.exe", "", {"11"}},
        {"sshd", "-D", {"10"}},
        {"", "-D", {"10", "12"}},
        {"", "", {"10", "11", "12", "13"}},
        {"bash", "\"echo hi\"", {"13"}},
        {"bash", "echo", {}},
        {"ssh", "", {}},
    };
    for (const Case& c : cases) {
        CSnmpProcessJob job(&rec.mon);
        job.name = c.name;
        job.mandatoryArguments = c.args;
        QStringList indexes, cpu, mem;
        job.validateRecords(table, indexes, cpu, mem);
        EXPECT_EQ(indexes, c.indexes) << c.name << " / " << c.args;
    }
    CSnmpProcessJob job(&rec.mon);
    job.name = "sshd";
    QStringList indexes, cpu, mem;
    job.validateRecords(table, indexes, cpu, mem);
    EXPECT_EQ(cpu, (QStringList{"100", "0"}));   // empty figures count as 0
    EXPECT_EQ(mem, (QStringList{"1000", "0"}));
    // A table without its name column matches nothing, even with an empty name.
    job.name.clear();
    indexes.clear();
    job.validateRecords({{"1"}, {}, {"/bin/x"}, {""}, {"1"}, {"1"}}, indexes, cpu, mem);
    EXPECT_TRUE(indexes.isEmpty());
}

TEST(SnmpProcessJob, LargeTableMatchesEveryRow)
{
    PluginTestRecord rec;
    QList<QStringList> rows;
    for (int i = 1; i <= 10000; ++i)
        rows << QStringList{QString::number(i), "worker", "/usr/bin/worker", "--id " + QString::number(i), "1", "4"};
    CSnmpProcessJob job(&rec.mon);
    job.name = "worker";
    job.mandatoryArguments = "--id";
    QStringList indexes, cpu, mem;
    job.validateRecords(processTable(rows), indexes, cpu, mem);
    EXPECT_EQ(indexes.size(), 10000);
}

TEST(SnmpProcessJob, CpuPercentBetweenTableReads)
{
    PluginTestRecord rec;
    CSnmpProcessJob job(&rec.mon);
    // First poll: 0 %.
    EXPECT_EQ(job.cpuPercent({"1", "2"}, {"1000", "600"}, 4, 50000), 0u);
    // 400 cs more over 10000 ms on 4 processors: 10 %.
    EXPECT_EQ(job.cpuPercent({"1", "2"}, {"1300", "700"}, 4, 60000), 10u);
    // The same table again (same time stamp) repeats the figure.
    EXPECT_EQ(job.cpuPercent({"1", "2"}, {"9999", "9999"}, 4, 60000), 10u);
    // Process 2 ended with 700 cs: its time stays in the total, so only process 1's 200 cs
    // of growth count (5 %), neither 0 nor a wrapped figure.
    EXPECT_EQ(job.cpuPercent({"1"}, {"1500"}, 4, 70000), 5u);
    EXPECT_EQ(job.stoppedCpuTime, 700u);
    // A total that shrank (an index reused by a younger process) gives 0, not a wrap.
    EXPECT_EQ(job.cpuPercent({"1"}, {"10"}, 4, 80000), 0u);
    // Texts that are no number are left out.
    CSnmpProcessJob other(&rec.mon);
    other.cpuPercent({"1"}, {"100"}, 1, 1000);
    EXPECT_EQ(other.cpuPercent({"1", "2"}, {"200", "x"}, 1, 2000), 100u);
    // The table clock wraps at 2^32 ms.
    CSnmpProcessJob wrap(&rec.mon);
    wrap.cpuPercent({"1"}, {"0"}, 1, 0xFFFFFC18u);
    EXPECT_EQ(wrap.cpuPercent({"1"}, {"100"}, 1, 1000), 50u);  // 1000 cs over 2000 ms
}

}  // namespace
