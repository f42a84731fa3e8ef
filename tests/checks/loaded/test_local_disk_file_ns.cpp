// The "Disk space" and "File" monitor types through the loaded library, on a 10 MiB tmpfs this
// test mounts in its own mount namespace, so every figure is exact.

#include "support/PluginTestHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kDisk = 8;
constexpr unsigned kFile = 9;
constexpr qint64 kMiB = 1048576;

class LocalVolume : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_root = s_dir->path().toStdString() + "/vol";
        ::mkdir(s_root.c_str(), 0755);
        s_mountError = ::mount("tmpfs", s_root.c_str(), "tmpfs", 0, "size=10m") == 0 ? 0 : errno;
        if (s_mountError == 0) {
            // 1.25 MiB in use: 12.5 % used, 87.5 % free
            writeFile(s_root + "/used.bin", kMiB + kMiB / 4);
            s_unicodeDir = s_root + "/Gr\xc3\xb6\xc3\x9f" "e-\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf";
            ::mkdir(s_unicodeDir.c_str(), 0755);
        }
    }
    static void TearDownTestSuite()
    {
        ::umount2(s_root.c_str(), MNT_DETACH);
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(s_mountError, 0) << std::strerror(s_mountError);
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }

    static void writeFile(const std::string& path, qint64 size)
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(QByteArray(static_cast<int>(size), 'x')), size);
    }

    int disk(PluginTestRecord& rec, const std::string& path, int type, int units, const char* skip = "")
    {
        rec.mon.typeIndex = kDisk;
        rec.mon.logEnabled = 1;
        m_path = path;
        if (std::strcmp(skip, "Path") != 0)
            rec.addSetting("Path (UNC or local path)", m_path.c_str(), 0, 'D');
        if (std::strcmp(skip, "Type") != 0)
            rec.addSetting("Type", nullptr, type, 'e');
        if (std::strcmp(skip, "Units") != 0)
            rec.addSetting("Units", nullptr, units, 'e');
        if (std::strcmp(skip, "Domain") != 0)
            rec.addSetting("Domain", "", 0, 'd');
        if (std::strcmp(skip, "User Name") != 0)
            rec.addSetting("User Name", "", 0, 'l');
        if (std::strcmp(skip, "Password") != 0)
            rec.addSetting("Password", "", 0, 'p');
        return host.poll(rec);
    }

    int file(PluginTestRecord& rec, const std::string& path, const char* skip = "")
    {
        rec.mon.typeIndex = kFile;
        rec.mon.logEnabled = 1;
        m_path = path;
        if (std::strcmp(skip, "Path") != 0)
            rec.addSetting("Path (UNC or local path)", m_path.c_str(), 0, 'F');
        if (std::strcmp(skip, "Domain") != 0)
            rec.addSetting("Domain", "", 0, 'd');
        if (std::strcmp(skip, "User Name") != 0)
            rec.addSetting("User Name", "", 0, 'l');
        if (std::strcmp(skip, "Password") != 0)
            rec.addSetting("Password", "", 0, 'p');
        return host.poll(rec);
    }

    static qint64 section64(const PluginTestRecord& rec)
    {
        const QByteArray bytes = rec.sectionsByType()[ZAM_SECTION_PERF64];
        qint64 v = -1;
        if (bytes.size() >= 8)
            std::memcpy(&v, bytes.constData(), 8);
        return v;
    }

    static QTemporaryDir* s_dir;
    static std::string s_root, s_unicodeDir;
    static int s_mountError;
    PluginTestHost host;
    std::string m_path;
};

QTemporaryDir* LocalVolume::s_dir = nullptr;
std::string LocalVolume::s_root, LocalVolume::s_unicodeDir;
int LocalVolume::s_mountError = -1;

TEST_F(LocalVolume, DiskSpaceInMegabytesAndPercent)
{
    struct Case {
        const char* what;
        int type;
        int units;
        int64_t value;
        const char* unit;
    };
    const Case cases[] = {
        {"free MB (8.75 rounded down)", 0, 0, 8, " MB"},
        {"used MB (1.25 rounded down)", 1, 0, 1, " MB"},
        {"free % (87.5 rounded half up)", 0, 1, 88, " %"},
        {"used % (12.5 rounded half up)", 1, 1, 13, " %"},
    };
    for (const std::string& path : {s_root, s_unicodeDir, s_root + "/used.bin"}) {
        for (const Case& c : cases) {
            PluginTestRecord rec;
            ASSERT_EQ(disk(rec, path, c.type, c.units), 0) << c.what << " " << path << ": " << rec.mon.failReason;
            EXPECT_EQ(rec.mon.perfValue, c.value) << c.what << " " << path;
            EXPECT_EQ(section64(rec), c.value) << c.what;
            EXPECT_EQ(rec.sectionText(ZAM_SECTION_MEASURE_UNIT), QByteArray(c.unit)) << c.what;
        }
    }
}

TEST_F(LocalVolume, DiskSpaceRefusals)
{
    struct Case {
        const char* what;
        std::string path;
        const char* skip;
        const char* reason;
    };
    const Case cases[] = {
        {"missing folder", s_root + "/nothing-here", "", "Error while requesting the amount of free space"},
        {"empty path", "", "", "Error while requesting the amount of free space"},
        {"relative default", "c:", "", "Error while requesting the amount of free space"},
        {"no path row", s_root, "Path", "Incorrect monitor parameters"},
        {"no type row", s_root, "Type", "Incorrect monitor parameters"},
        {"no units row", s_root, "Units", "Incorrect monitor parameters"},
        {"no domain row", s_root, "Domain", "Incorrect monitor parameters"},
        {"no user row", s_root, "User Name", "Incorrect monitor parameters"},
        {"no password row", s_root, "Password", "Incorrect monitor parameters"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(disk(rec, c.path, 0, 0, c.skip), 1) << c.what;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.what;
        EXPECT_TRUE(rec.sections.empty()) << c.what;
    }
    // the host that gives no memory for the sections: a reason, not an exception
    PluginTestRecord rec;
    rec.refuseMemory = true;
    EXPECT_EQ(disk(rec, s_root, 0, 0), 1);
    EXPECT_NE(rec.mon.failReason[0], '\0');
}

TEST_F(LocalVolume, FileSizeInWholeMegabytes)
{
    const std::string below = s_root + "/below.bin", exact = s_root + "/exact.bin", empty = s_root + "/empty.bin";
    writeFile(below, kMiB - 1);
    writeFile(exact, kMiB);
    writeFile(empty, 0);
    const std::string link = s_root + "/link-to-used";
    ASSERT_EQ(::symlink((s_root + "/used.bin").c_str(), link.c_str()), 0);
    const std::string unicode = s_unicodeDir + "/\xc3\xa9t\xc3\xa9.bin";
    writeFile(unicode, 2 * kMiB);
    // sparse: 4 PiB of size in no space; its megabytes do not fit 32 bits
    const std::string huge = s_root + "/huge.bin";
    const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(1) << 52), 0) << std::strerror(errno);
    ::close(fd);
    struct stat dirStat {};
    ASSERT_EQ(::stat(s_unicodeDir.c_str(), &dirStat), 0);

    struct Case {
        std::string path;
        int64_t value;
    };
    const Case cases[] = {
        {below, 0}, {exact, 1}, {empty, 0}, {link, 1}, {unicode, 2}, {huge, int64_t(1) << 32},
        {s_unicodeDir, static_cast<int64_t>(dirStat.st_size) / kMiB},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        ASSERT_EQ(file(rec, c.path), 0) << c.path << ": " << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, c.value) << c.path;
        EXPECT_TRUE(rec.sections.empty()) << c.path;
    }
    ::unlink(below.c_str());
    ::unlink(exact.c_str());
    ::unlink(empty.c_str());
    ::unlink(link.c_str());
    ::unlink(unicode.c_str());
    ::unlink(huge.c_str());
}

TEST_F(LocalVolume, FileRefusals)
{
    struct Case {
        const char* what;
        std::string path;
        const char* skip;
        const char* reason;
    };
    const Case cases[] = {
        {"missing file", s_root + "/absent.bin", "", "Error while requesting the file information: No such file or directory"},
        {"empty path", "", "", "Error while requesting the file information: No such file or directory"},
        {"relative default", "c:\\pagefile.sys", "", "Error while requesting the file information: No such file or directory"},
        {"through a file", s_root + "/used.bin/inner", "", "Error while requesting the file information: Not a directory"},
        {"no path row", s_root, "Path", "Incorrect monitor parameters"},
        {"no domain row", s_root, "Domain", "Incorrect monitor parameters"},
        {"no user row", s_root, "User Name", "Incorrect monitor parameters"},
        {"no password row", s_root, "Password", "Incorrect monitor parameters"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(file(rec, c.path, c.skip), 1) << c.what;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.what;
    }
    PluginTestRecord none;
    none.mon.typeIndex = kFile;
    EXPECT_EQ(host.poll(none), 1);
    EXPECT_STREQ(none.mon.failReason, "Incorrect monitor parameters");
}

}  // namespace
