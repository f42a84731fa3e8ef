// The "Script or Program" and "Python script" monitor types through the loaded library, with
// scripts the tests write into a folder of their own.

#include "zam_plugin_api.h"

#include <QString>
#include "support/PluginTestHost.h"
#include "support/SettableInterpreter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace {

enum : unsigned { kProgram = 14, kPython = 45 };

class ProgramCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.setService(QStringLiteral("PluginGlobalSettings_getInterface"), reinterpret_cast<void*>(&globalSettings));
        ASSERT_TRUE(host.load()) << host.error().toStdString();
        ASSERT_TRUE(dir.isValid());
        interpreter().path = QStringLiteral("/usr/bin/python3");
    }
    QString script(const char* name, const QByteArray& text)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                         | QFileDevice::ExeOther);
        return path;
    }
    int program(PluginTestRecord& rec, const QString& path, int type, int mode, const char* divisor = "1.0", const char* params = "",
                int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kProgram;
        rec.mon.timeout = timeoutMs;
        rec.setHost("", "127.0.0.1", false);
        rec.clearSettings();
        m_path = path.toStdString();
        rec.addSetting("Path to Program File", m_path.c_str(), 0, 'L');
        rec.addSetting("Program Parameters", params);
        rec.addSetting("Program Type", nullptr, type, 'e');
        rec.addSetting("Program Mode", nullptr, mode, 'e');
        rec.addSetting("Divide returned value by", divisor);
        rec.addSetting("Run monitor As", nullptr, 2, 'C');
        rec.addSetting("Take delta", nullptr, 0, 'y');
        rec.addSetting("$Port", "8080");
        rec.addSetting("$AdminName", "$AdminName");
        return host.poll(rec);
    }
    int python(PluginTestRecord& rec, const QString& path, const char* args = "", const char* input = "", const char* divisor = "1.0",
               int runAs = 2, int timeoutMs = 10000)
    {
        rec.mon.typeIndex = kPython;
        rec.mon.timeout = timeoutMs;
        rec.setHost("", "127.0.0.1", false);
        m_path = path.toStdString();
        rec.addSetting("Path", m_path.c_str(), 0, 'L');
        rec.addSetting("Arguments", args);
        rec.addSetting("Input data", input);
        rec.addSetting("Divide returned value by", divisor);
        rec.addSetting("Run monitor As", nullptr, runAs, 'C');
        return host.poll(rec);
    }
    static QByteArray display(const PluginTestRecord& rec) { return rec.sectionText(ZAM_SECTION_DISPLAY_VALUE); }

    PluginTestHost host;
    QTemporaryDir dir;
    std::string m_path;
};

TEST_F(ProgramCheck, ProgramOutcomes)
{
    const QString value = script("value.sh", "#!/bin/sh\necho \"42 apples $Port ${AdminName:-unset}\"\n");
    const QString silent3 = script("silent3.sh", "#!/bin/sh\nexit 3\n");
    const QString nagios = script("nagios.sh", "#!/bin/sh\necho 'WARNING - load | load=7;5;10'\nexit 1\n");
    const QString critical = script("critical.sh", "#!/bin/sh\necho 'CRITICAL' >&2\nexit 2\n");
    const QString utf8 = script("utf8.sh", "#!/bin/sh\nprintf 'Fehler: \\303\\274ber' >&2\nexit 4\n");
    struct Case { const char* what; QString path; int type; int mode; const char* divisor; int rc; int64_t value; int resultCode; QByteArray reason; };
    const Case cases[] = {
        {"value and display", value, 1, 0, "1.0", 0, 42, -2, ""},
        {"divisor with text", value, 1, 0, "2abc", 0, 21, -2, ""},
        {"silent exit 3", silent3, 1, 0, "1.0", 1, 0, -2, "Program/script return code: 3 (no message)"},
        {"nagios warning", nagios, 1, 1, "1.0", 0, 7, 1, ""},
        {"nagios critical", critical, 1, 1, "1.0", 1, 0, -2, "CRITICAL"},
        {"output read as UTF-8", utf8, 1, 0, "1.0", 1, 0, -2, "Fehler: \xc3\xbc" "ber"},
        {".sh run as a program", value, 0, 0, "1.0", 1, 0, -2,
         "Extension '.sh' means a Bash Script file; set the monitor property 'Program Type' to 'Run script'."},
        {"divisor zero", value, 1, 0, "0", 1, 0, -2, "'Divide returned value by' must be a positive floating-point number"},
        {"divisor negative", value, 1, 0, "-1", 1, 0, -2, "'Divide returned value by' must be a positive floating-point number"},
        {"empty path", QString(), 1, 0, "1.0", 1, 0, -2, "'Path to Program File' is an empty string"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(program(rec, c.path, c.type, c.mode, c.divisor), c.rc) << c.what << ": " << rec.mon.failReason;
        EXPECT_EQ(QByteArray(rec.mon.failReason), c.reason) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(rec.mon.perfValue, c.value) << c.what;
        }
        if (c.resultCode == 1) {
            EXPECT_EQ(rec.mon.resultCode, 1) << c.what;
        }
    }
    PluginTestRecord rec;
    ASSERT_EQ(program(rec, value, 1, 0), 0);
    EXPECT_EQ(display(rec), QByteArray("apples 8080 unset")) << "$Port reaches the child; a setting equal to its name does not";
}

TEST_F(ProgramCheck, RunsAsAnotherUser)
{
    // a user of this test's own; root needs no password for su
    QProcess id;
    id.start("id", {"-u", "zamrunas"});
    id.waitForFinished();
    if (id.exitCode() != 0) {
        ASSERT_EQ(QProcess::execute("useradd", {"--no-create-home", "--shell", "/bin/sh", "zamrunas"}), 0);
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                          | QFileDevice::ExeOther);
    const QString whoami = script("whoami.sh", "#!/bin/sh\necho \"1 $(id -un)\"\n");
    PluginTestRecord rec;
    rec.mon.typeIndex = kProgram;
    rec.mon.timeout = 10000;
    rec.setHost("", "127.0.0.1", false);
    const std::string path = whoami.toStdString();
    rec.addSetting("Path to Program File", path.c_str(), 0, 'L');
    rec.addSetting("Program Parameters", "");
    rec.addSetting("Program Type", nullptr, 1, 'e');
    rec.addSetting("Program Mode", nullptr, 0, 'e');
    rec.addSetting("Divide returned value by", "1");
    rec.addSetting("Run monitor As", nullptr, 0, 'C');
    rec.addSetting("Domain", "", 0, 'd');
    rec.addSetting("User Name", "zamrunas", 0, 'l');
    rec.addSetting("Password", "", 0, 'p');
    ASSERT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(display(rec), QByteArray("zamrunas"));

    // without the three account settings another account cannot be used
    PluginTestRecord missing;
    missing.mon.typeIndex = kProgram;
    missing.addSetting("Path to Program File", path.c_str(), 0, 'L');
    missing.addSetting("Program Parameters", "");
    missing.addSetting("Program Type", nullptr, 1, 'e');
    missing.addSetting("Program Mode", nullptr, 0, 'e');
    missing.addSetting("Divide returned value by", "1");
    missing.addSetting("Run monitor As", nullptr, 0, 'C');
    EXPECT_EQ(host.poll(missing), 1);
    EXPECT_STREQ(missing.mon.failReason, "Incorrect monitor parameters");
}

TEST_F(ProgramCheck, PythonScripts)
{
    const QString ms = script("ms.py", "import sys\nprint('12.5 ms')\n");
    const QString echo = script("echo.py", "import sys\nprint(len(sys.argv) - 1, ' '.join(sys.argv[1:]), sys.stdin.read())\n");
    const QString fail = script("fail.py", "import sys\nsys.stderr.write('bad input\\n')\nsys.exit(1)\n");
    const QString failUtf8 = script("fail8.py", "import sys\nsys.stderr.write('Fehler: \\u00fcber \\u30c7\\n')\nsys.exit(2)\n");
    const QString encoding = script("enc.py", "import os\nprint(1, os.environ.get('PYTHONIOENCODING'))\n");
    struct Case { const char* what; QString path; const char* args; const char* input; const char* divisor; int runAs; int rc;
                  int64_t value; QByteArray shown; QByteArray reason; };
    const Case cases[] = {
        {"value and unit", ms, "", "", "1.0", 2, 0, 12, "ms", ""},
        {"arguments and input", echo, "a b", "fed", "1.0", 2, 0, 2, "a b fed", ""},
        {"standard error as the reason", fail, "", "", "1.0", 2, 1, 0, "", "bad input"},
        {"standard error read as UTF-8", failUtf8, "", "", "1.0", 2, 1, 0, "", "Fehler: \xc3\xbc" "ber \xe3\x83\x87"},
        {"UTF-8 output", encoding, "", "", "1.0", 2, 0, 1, "UTF-8", ""},
        {"divisor", ms, "", "", "abc", 2, 1, 0, "", "'Divide returned value by' must be a positive floating-point number"},
        // another account without a user name is refused, not run as the agent's own user
        {"another account without a name", ms, "", "", "1.0", 0, 1, 0, "", "Incorrect monitor parameters"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(python(rec, c.path, c.args, c.input, c.divisor, c.runAs), c.rc) << c.what << ": " << rec.mon.failReason;
        EXPECT_EQ(QByteArray(rec.mon.failReason), c.reason) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(rec.mon.perfValue, c.value) << c.what;
            EXPECT_EQ(display(rec), c.shown) << c.what;
        }
    }
    PluginTestRecord empty;
    empty.mon.typeIndex = kPython;
    empty.mon.timeout = 5000;
    empty.addSetting("Path", "", 0, 'L');
    EXPECT_EQ(host.poll(empty), 1);
    EXPECT_STREQ(empty.mon.failReason, "Script path is empty");
}

TEST_F(ProgramCheck, ChildThatCannotStartOrHangs)
{
    const QString hang = script("hang.sh", "#!/bin/sh\nexec sleep 30\n");
    const QString pyHang = script("hang.py", "import time\ntime.sleep(30)\n");
    const QString ms = script("ms.py", "print('12.5 ms')\n");
    {
        PluginTestRecord rec;
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(program(rec, hang, 1, 0, "1.0", "", 2000), 1);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_STREQ(rec.mon.failReason, "Program has not been finished within 2 seconds.");
        EXPECT_EQ(rec.mon.perfValue, 0);
    }
    {
        PluginTestRecord rec;
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(python(rec, pyHang, "", "", "1.0", 2, 2000), 1);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_STREQ(rec.mon.failReason, "Program has not been finished within 2 seconds.");
    }
    {
        PluginTestRecord rec;
        interpreter().path = dir.filePath("no-such-python");
        EXPECT_EQ(python(rec, ms), 1);
        EXPECT_STREQ(rec.mon.failReason, "Failed to start the program or script: No such file or directory");
    }
}

} // namespace
