#include "common/SaveFileAtomically.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Names in the folder other than the ones given.
QStringList leftovers(const QString& folder, const QStringList& expected)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : expected)
        names.removeAll(e);
    return names;
}

}

TEST(SaveFileAtomically, CreatesReplacesOrKeepsAsAsked)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("a.mib"));
    const QString oldTemp = target + QStringLiteral(".tmp");
    writeFile(oldTemp, "someone else's temp");

    const struct {
        QByteArray data;
        bool overwrite;
        bool result;
        QByteArray content;
    } steps[] = {
        {"first", false, true, "first"},        // created
        {"second", false, false, "first"},      // exists, not overwritten
        {"third", true, true, "third"},         // replaced
        {QByteArray(), true, true, QByteArray()},
        {QByteArray(100000, 'z'), true, true, QByteArray(100000, 'z')},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(saveFileAtomically(target, s.data, s.overwrite), s.result);
        EXPECT_EQ(readFile(target), s.content);
        // The earlier ".tmp" file is never touched and nothing else is left behind.
        EXPECT_EQ(readFile(oldTemp), QByteArray("someone else's temp"));
        EXPECT_EQ(leftovers(dir.path(), {QStringLiteral("a.mib"), QStringLiteral("a.mib.tmp")}), QStringList());
    }
}

TEST(SaveFileAtomically, FailureKeepsTheOldFileAndLeavesNoTemporary)
{
    QTemporaryDir dir;
    // The target is a non-empty folder: the rename over it fails.
    const QString target = dir.filePath(QStringLiteral("busy"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("busy/inner")));
    EXPECT_FALSE(saveFileAtomically(target, "data", true));
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(leftovers(dir.path(), {}), QStringList());

    // A folder that does not exist: nothing can be written.
    EXPECT_FALSE(saveFileAtomically(dir.filePath(QStringLiteral("no/such/file")), "data", true));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no"))));

    // overwrite=false never replaces a file that appeared meanwhile.
    const QString existing = dir.filePath(QStringLiteral("kept"));
    writeFile(existing, "old");
    EXPECT_FALSE(saveFileAtomically(existing, "new", false));
    EXPECT_EQ(readFile(existing), QByteArray("old"));
    EXPECT_EQ(leftovers(dir.path(), {QStringLiteral("kept")}), QStringList());
}
