// The attachment store works on the daemon's fixed configuration folder, which this test
// program sees as an empty private tmpfs.
#include "link/AttachmentListRecords.h"
#include "link/TemplateAttachmentsStore.h"
#include "common/AppPaths.h"
#include "support/CapturedMessages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

const QString kApp = QStringLiteral("web/v3_custom_7");

QString cfg(const QString& rel)
{
    return QDir::cleanPath(configDir() + rel);
}

STemplateAttachmentData record(const QString& name, int type, const QByteArray& plain = QByteArray(),
                               bool withContent = true)
{
    STemplateAttachmentData a;
    a.id = 11;
    a.number.set(3);
    a.name.set(name);
    a.type.set(type);
    a.checksum = computeChecksum(plain);
    if (withContent)
        a.content.set(qCompress(plain));
    return a;
}

STemplateAttachmentData explicitRecord(const QString& folder, const QString& name, bool custom,
                                       const QByteArray& plain = "x")
{
    STemplateAttachmentData a = record(name, 0, plain);
    a.fileName.set(folder);
    a.replace.set(custom);
    return a;
}

QList<STemplateAttachment> plainList(const QList<STemplateAttachmentData>& list)
{
    QList<STemplateAttachment> out;
    for (const auto& a : list)
        out.append(a);
    return out;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Every regular file under the configuration folder, relative to it.
QStringList filesUnderConfig()
{
    QStringList out;
    QDirIterator it(configDir(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(QDir(configDir()).relativeFilePath(it.next()));
    out.sort();
    return out;
}

QStringList names(const QList<STemplateAttachment>& list)
{
    QStringList out;
    for (const auto& a : list)
        out.append(a.name.valueOr(QStringLiteral("<unset>")));
    return out;
}

class TemplateAttachments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& entry : QDir(configDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            QDir(configDir() + entry).removeRecursively(), QFile::remove(configDir() + entry);
    }
};

} // namespace

TEST_F(TemplateAttachments, CreateWritesApplicationAndMibFilesIntoTheirFolders)
{
    const QList<STemplateAttachmentData> list{record("run.py", 0, "print(1)\n"), record("IF-MIB.txt", 1, "IF-MIB"),
                                              record("empty.cfg", 0, QByteArray())};
    EXPECT_TRUE(createTemplateAttachments(kApp, list).isEmpty());
    EXPECT_EQ(readFile(cfg("templates/web/v3_custom_7/run.py")), QByteArray("print(1)\n"));
    EXPECT_EQ(readFile(cfg("mibs/IF-MIB.txt")), QByteArray("IF-MIB"));
    EXPECT_EQ(readFile(cfg("templates/web/v3_custom_7/empty.cfg")), QByteArray());
    EXPECT_EQ(filesUnderConfig(), QStringList({"mibs/IF-MIB.txt", "templates/web/v3_custom_7/empty.cfg",
                                               "templates/web/v3_custom_7/run.py"}));
}

TEST_F(TemplateAttachments, ExistingApplicationFilesStayAndFailWhileMibFilesAreReplaced)
{
    writeFile(cfg("templates/web/v3_custom_7/run.py"), "old script");
    writeFile(cfg("mibs/IF-MIB.txt"), "old mib");
    const auto failed =
        createTemplateAttachments(kApp, {record("run.py", 0, "new script"), record("IF-MIB.txt", 1, "new mib")});
    EXPECT_EQ(names(failed), QStringList{"run.py"});
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0].id, 11);
    EXPECT_EQ(readFile(cfg("templates/web/v3_custom_7/run.py")), QByteArray("old script"));
    EXPECT_EQ(readFile(cfg("mibs/IF-MIB.txt")), QByteArray("new mib"));
}

TEST_F(TemplateAttachments, ContentThatDoesNotDecompressFailsWithoutWritingAFile)
{
    QByteArray corrupt = qCompress(QByteArray(1000, 'a'));
    corrupt[10] = char(corrupt[10] ^ 0x55);
    QByteArray tooLong = qCompress(QByteArray("abc"));
    tooLong[3] = 2;   // declares 2 bytes, yields 3
    QByteArray hugeClaim = qCompress(QByteArray("abc"));
    hugeClaim[0] = char(0x7f);   // about 2 GB declared

    struct Case { const char* label; Optional<QByteArray> content; };
    const Case cases[] = {
        {"corrupt stream", Optional<QByteArray>(corrupt)},
        {"longer than declared", Optional<QByteArray>(tooLong)},
        {"size above the cap", Optional<QByteArray>(hugeClaim)},
        {"truncated header", Optional<QByteArray>(QByteArray("\x00\x00", 2))},
        {"plain bytes", Optional<QByteArray>(QByteArray("not compressed at all"))},
        {"no content", Optional<QByteArray>()},
    };
    for (const Case& c : cases) {
        STemplateAttachmentData a = record("f.bin", 1, "x");
        a.content = c.content;
        EXPECT_EQ(names(createTemplateAttachments(kApp, {a})), QStringList{"f.bin"}) << c.label;
        EXPECT_FALSE(QFileInfo::exists(cfg("mibs/f.bin"))) << c.label;
    }
    // Nor is a folder made for content that cannot be written.
    STemplateAttachmentData app = record("a.py", 0, "x");
    app.content.set(corrupt);
    EXPECT_EQ(createTemplateAttachments(kApp, {app}).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(cfg("templates")));
}

TEST_F(TemplateAttachments, UncompressHonoursItsCap)
{
    QByteArray out;
    QString error;
    const QByteArray packed = qCompress(QByteArray(5000, 'z'));
    EXPECT_TRUE(uncompressAttachment(packed, out, error, 5000));
    EXPECT_EQ(out, QByteArray(5000, 'z'));
    EXPECT_FALSE(uncompressAttachment(packed, out, error, 4999));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(error.contains("limit")) << error.toStdString();
}

TEST_F(TemplateAttachments, HostileNamesAndFoldersWriteNothingAndFail)
{
    qputenv("ZAM_TEST_UP", "../../..");
    struct Case { QString appPath; STemplateAttachmentData rec; };
    const Case cases[] = {
        {kApp, record("../../etc/x", 0, "x")},
        {kApp, record("/root/.ssh/a", 0, "x")},
        {kApp, record("a/b", 0, "x")},
        {kApp, record("%HOME%/x", 0, "x")},
        {kApp, record("..", 1, "x")},
        {kApp, record(".", 0, "x")},
        {kApp, record("", 1, "x")},
        {kApp, record("a\\b", 1, "x")},
        {kApp, record(QStringLiteral("a") + QChar(0) + "b", 0, "x")},
        {QStringLiteral("../../x"), record("ok.txt", 0, "x")},
        {QStringLiteral("/tmp/abs"), record("ok.txt", 0, "x")},
        {QStringLiteral("a/../../b"), record("ok.txt", 0, "x")},
        {QStringLiteral("%ZAM_TEST_UP%"), record("ok.txt", 0, "x")},
        {QString(), record("ok.txt", 0, "x")},
        {kApp, explicitRecord("/tmp/zam-attach-evil", "../x", true)},
        {kApp, explicitRecord("/tmp/zam-attach-evil", "a/b", true)},
    };
    for (const Case& c : cases) {
        const QString label = c.appPath + " | " + c.rec.name.value() + " | " + c.rec.fileName.valueOr("-");
        EXPECT_EQ(createTemplateAttachments(c.appPath, {c.rec}).size(), 1) << label.toStdString();
        // Nowhere to be found, so the service hears it is missing.
        EXPECT_EQ(checkTemplateAttachments(c.appPath, plainList({c.rec})).size(), 1) << label.toStdString();
    }
    EXPECT_EQ(filesUnderConfig(), QStringList());
    EXPECT_FALSE(QFileInfo::exists("/tmp/zam-attach-evil"));
    EXPECT_FALSE(QFileInfo::exists("/root/.ssh/a"));
    qunsetenv("ZAM_TEST_UP");
}

// With its flag set, an explicit folder is taken as the service says, variables expanded,
// inside the attachment folders or not; the name stays one component, an existing file stays,
// and every such write is logged with its full path.
TEST_F(TemplateAttachments, ExplicitFoldersWithTheFlagAreWrittenWhereTheySay)
{
    const QString own = QStringLiteral("zam-explicit-%1").arg(::getpid());
    const QString installed = QDir::cleanPath(installDir() + "/" + own + "/tools/probe.sh");
    const QString absolute = QDir::cleanPath(QDir::tempPath() + "/" + own + "/abs.txt");
    const QList<STemplateAttachmentData> list{
        explicitRecord("$CorvaneInstallDir/" + own + "/tools", "probe.sh", true, "P"),
        explicitRecord(QDir::tempPath() + "/" + own, "abs.txt", true, "T"),
        explicitRecord("$CorvaneDataDir/custom/../elsewhere", "up.txt", true, "U"),
        explicitRecord("$CorvaneInstallDir/" + own + "/tools", "unflagged.sh", false, "N"),
    };
    QStringList infos;
    {
        CapturedMessages messages;
        EXPECT_TRUE(createTemplateAttachments(kApp, list).isEmpty());
        infos = CapturedMessages::texts(QtInfoMsg);
    }
    const QString up = QDir::cleanPath(configDir() + "/elsewhere/up.txt");
    EXPECT_EQ(readFile(installed), QByteArray("P"));
    EXPECT_EQ(readFile(absolute), QByteArray("T"));
    EXPECT_EQ(readFile(up), QByteArray("U"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(installed).path() + "/unflagged.sh"));
    for (const QString& path : {installed, absolute, up})
        EXPECT_EQ(infos.filter(path).size(), 1) << path.toStdString();
    EXPECT_EQ(infos.size(), 3);

    // Present for the check; written once, never replaced.
    EXPECT_EQ(names(checkTemplateAttachments(kApp, plainList(list))), QStringList());
    EXPECT_EQ(names(createTemplateAttachments(kApp, {explicitRecord(QDir::tempPath() + "/" + own, "abs.txt", true, "2")})),
              QStringList{"abs.txt"});
    EXPECT_EQ(readFile(absolute), QByteArray("T"));

    QDir(installDir() + "/" + own).removeRecursively();
    QDir(QDir::tempPath() + "/" + own).removeRecursively();
}

TEST_F(TemplateAttachments, ExplicitFoldersInsideTheAttachmentFoldersNeedTheCustomFlag)
{
    const QList<STemplateAttachmentData> list{
        explicitRecord("$AppFiles/scripts", "a.sh", true, "A"),
        explicitRecord("$CorvaneDataDir/mibs/vendor", "V-MIB", true, "V"),
        explicitRecord("$AppFiles/scripts", "skipped.sh", false, "S"),
    };
    EXPECT_TRUE(createTemplateAttachments(kApp, list).isEmpty());
    EXPECT_EQ(filesUnderConfig(), QStringList({"mibs/vendor/V-MIB", "templates/web/v3_custom_7/scripts/a.sh"}));
    // A file in an explicit folder is never replaced.
    EXPECT_EQ(names(createTemplateAttachments(kApp, {explicitRecord("$AppFiles/scripts", "a.sh", true, "B")})),
              QStringList{"a.sh"});
    EXPECT_EQ(readFile(cfg("templates/web/v3_custom_7/scripts/a.sh")), QByteArray("A"));
}

TEST_F(TemplateAttachments, CheckListsWhatIsAbsentStaleOrUnreadable)
{
    writeFile(cfg("templates/web/v3_custom_7/app.py"), "whatever is there");
    writeFile(cfg("mibs/GOOD-MIB"), "good");
    writeFile(cfg("mibs/STALE-MIB"), "old");
    writeFile(cfg("mibs/NOSUM-MIB"), "nosum");
    QDir().mkpath(cfg("mibs/DIR-MIB"));   // exists, but cannot be read as a file

    STemplateAttachmentData noSum = record("NOSUM-MIB", 1, "nosum");
    noSum.checksum.reset();
    STemplateAttachmentData unknown = record("odd", 2, "x");
    STemplateAttachment untyped = record("untyped.py", 0, "x");
    untyped.type.reset();   // reads as an application file
    const QList<STemplateAttachment> request{
        record("app.py", 0, "other content"),     // present: application files are not compared
        record("absent.py", 0, "x"),              // missing
        record("GOOD-MIB", 1, "good"),            // present and equal
        record("STALE-MIB", 1, "new"),            // other checksum
        noSum,                                    // no checksum: always missing
        record("DIR-MIB", 1, "x"),                // unreadable
        record("ABSENT-MIB", 1, "x"),             // missing
        unknown,                                  // skipped
        explicitRecord("$AppFiles", "app.py", false),   // explicit without the flag: skipped
        untyped,                                  // missing
    };
    EXPECT_EQ(names(checkTemplateAttachments(kApp, request)),
              QStringList({"absent.py", "STALE-MIB", "NOSUM-MIB", "DIR-MIB", "ABSENT-MIB", "untyped.py"}));
}

TEST_F(TemplateAttachments, DeleteRemovesNamedRegularFilesWithoutRegardToCase)
{
    const QString dir = cfg("templates/web/v3_custom_7");
    writeFile(dir + "/a.txt", "a");
    writeFile(dir + "/keep.txt", "k");
    writeFile(cfg("mibs/A.TXT"), "mib");
    QDir().mkpath(dir + "/sub.txt");
    ASSERT_EQ(::symlink(QFile::encodeName(cfg("mibs/A.TXT")).constData(),
                        QFile::encodeName(dir + "/link.txt").constData()), 0);

    STemplateAttachment mib = record("a.txt", 1);
    STemplateAttachment explicitOne = explicitRecord("$AppFiles", "keep.txt", true);
    deleteTemplateAttachments(kApp, {record("A.txt", 0), record("SUB.TXT", 0), record("link.txt", 0), mib,
                                     explicitOne});
    EXPECT_FALSE(QFileInfo::exists(dir + "/a.txt"));
    EXPECT_TRUE(QFileInfo::exists(dir + "/keep.txt"));
    EXPECT_TRUE(QFileInfo(dir + "/sub.txt").isDir());
    EXPECT_TRUE(QFileInfo(dir + "/link.txt").isSymLink());
    EXPECT_EQ(readFile(cfg("mibs/A.TXT")), QByteArray("mib"));
}

TEST_F(TemplateAttachments, DeletingTheLastFileRemovesTheEmptiedFolders)
{
    writeFile(cfg("templates/web/v3_custom_7/one.py"), "1");
    writeFile(cfg("templates/other/v1_standard_2/two.py"), "2");
    deleteTemplateAttachments(kApp, {record("ONE.PY", 0)});
    EXPECT_FALSE(QFileInfo::exists(cfg("templates/web")));
    EXPECT_TRUE(QFileInfo::exists(cfg("templates/other/v1_standard_2/two.py")));
    deleteTemplateAttachments(QStringLiteral("other/v1_standard_2"), {record("two.py", 0)});
    EXPECT_FALSE(QFileInfo::exists(cfg("templates/other")));
    EXPECT_TRUE(QFileInfo(cfg("templates")).isDir());
    EXPECT_TRUE(QFileInfo(configDir()).isDir());
}

TEST_F(TemplateAttachments, DeleteWithAHostileFolderRemovesNothing)
{
    writeFile(cfg("quv.ini"), "[Common]\n");
    writeFile(cfg("templates/x.py"), "x");
    for (const QString& appPath : {QStringLiteral("../.."), QStringLiteral(".."), QStringLiteral("/etc/opt/corvane-agent"),
                                   QStringLiteral("a/../.."), QString()})
        deleteTemplateAttachments(appPath, {record("quv.ini", 0), record("x.py", 0)});
    EXPECT_EQ(filesUnderConfig(), QStringList({"quv.ini", "templates/x.py"}));
}

TEST_F(TemplateAttachments, HugeListCountsGiveAnEmptyListAndNoWork)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    out << quint32(0x80000000u);
    out << record("a.txt", 0);
    QList<STemplateAttachmentData> list;
    EXPECT_FALSE(readAttachmentList(bytes, list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(createTemplateAttachments(kApp, list).isEmpty());
    EXPECT_EQ(filesUnderConfig(), QStringList());
}
