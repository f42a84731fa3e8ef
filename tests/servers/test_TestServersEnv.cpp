#include "support/TestServers.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

// The start script reads scripts/test-servers.env; the tests read TestServers.h. A value
// changed in one place only would send tests to the wrong port or with the wrong password.
namespace {

// KEY=value lines; blank lines and # comments skipped. Anything else is a format error,
// since the script sources the file as shell.
QMap<QString, QString> parseEnv(const QString& path, QStringList& errors)
{
    QMap<QString, QString> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        errors << QStringLiteral("cannot open %1").arg(path);
        return out;
    }
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        static const QRegularExpression keyRe(QStringLiteral("^ZAM_TS_[A-Z0-9_]+$"));
        if (eq <= 0 || !keyRe.match(key).hasMatch() || value.isEmpty() ||
            value.contains(QRegularExpression(QStringLiteral("[\\s'\"$`\\\\]")))) {
            errors << QStringLiteral("line %1 is not a plain KEY=value: %2").arg(lineNo).arg(line);
            continue;
        }
        if (out.contains(key))
            errors << QStringLiteral("line %1 repeats %2").arg(lineNo).arg(key);
        out.insert(key, value);
    }
    return out;
}

} // namespace

TEST(TestServersEnv, HeaderAndEnvFileHoldTheSameValues)
{
    QStringList errors;
    const QMap<QString, QString> env = parseEnv(testservers::envFilePath(), errors);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_FALSE(env.isEmpty());

    QSet<QString> seen;
    for (const auto& [key, value] : testservers::envEntries()) {
        EXPECT_FALSE(seen.contains(key)) << "listed twice in envEntries(): " << key.toStdString();
        seen.insert(key);
        ASSERT_TRUE(env.contains(key)) << key.toStdString() << " is missing from the env file";
        EXPECT_EQ(value.toStdString(), env.value(key).toStdString()) << key.toStdString();
    }
    for (const QString& key : env.keys())
        EXPECT_TRUE(seen.contains(key)) << key.toStdString() << " is in the env file but not in TestServers.h";
}

TEST(TestServersEnv, PortsAreDistinctAndOutsideTheCommonRange)
{
    QMap<int, QString> owner;
    for (const auto& [key, value] : testservers::envEntries()) {
        if (!key.endsWith(QLatin1String("_PORT")))
            continue;
        bool ok = false;
        const int port = value.toInt(&ok);
        ASSERT_TRUE(ok) << key.toStdString();
        EXPECT_GE(port, 18000) << key.toStdString();
        EXPECT_LE(port, 18999) << key.toStdString();
        // DNS uses one number for UDP and TCP, and no other server shares it
        EXPECT_FALSE(owner.contains(port)) << key.toStdString() << " reuses the port of "
                                           << owner.value(port).toStdString();
        owner.insert(port, key);
    }
    // the FTP passive range must not overlap any listening port
    for (auto it = owner.cbegin(); it != owner.cend(); ++it)
        EXPECT_FALSE(it.key() >= testservers::kFtpPasvFirst && it.key() <= testservers::kFtpPasvLast)
            << it.value().toStdString() << " lies in the FTP passive range";
    EXPECT_LE(testservers::kFtpPasvFirst + 29, testservers::kFtpPasvLast) << "three servers need 10 ports each";
}
