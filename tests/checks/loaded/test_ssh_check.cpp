// The SSH monitor type through the loaded library, against the test sshd (password and keys)
// and its PAM twin (keyboard-interactive), private sshd instances with a stock configuration
// (connection counts, restarts, offered methods), plus scripted loopback peers for silent servers.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/PrivateSshd.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>
#include <string>

namespace {

constexpr unsigned kSsh = 19;

struct SshSettings
{
    int port = testservers::kSshPort;
    int testHostKey = 1;
    std::string fingerprint;
    int method = 0;
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
    std::string publicKey;
    std::string privateKey;
    std::string passphrase;
    int execute = 0;
    std::string command = "echo 42 apples";
    std::string divisor = "1.0";
    int howToRun = 0;
    std::string scriptPath;
    std::string scriptBody;
    std::string parameters;

    // A login: the public key is the private key's ".pub" beside it.
    static SshSettings login(int port, int method, const std::string& password, const std::string& privateKey,
                             const std::string& passphrase = "")
    {
        SshSettings s;
        s.port = port;
        s.method = method;
        s.password = password;
        s.privateKey = privateKey;
        s.publicKey = privateKey.empty() ? "" : privateKey + ".pub";
        s.passphrase = passphrase;
        return s;
    }
};

class SshCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    int poll(PluginTestRecord& rec, const SshSettings& s, int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kSsh;
        rec.mon.timeout = timeoutMs;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.clearSettings();
        rec.addSetting("Port", nullptr, s.port, 'i');
        rec.addSetting("Test Host Key", nullptr, s.testHostKey, 'e');
        rec.addSetting(" Host Key Fingerprint", s.fingerprint.c_str());
        rec.addSetting("Authentication Type", nullptr, s.method, 'e');
        rec.addSetting(" User Name", s.user.c_str());
        rec.addSetting(" Password", s.password.c_str(), 0, 'p');
        rec.addSetting(" Path to Public Key File", s.publicKey.c_str(), 0, 'L');
        rec.addSetting(" Path to Private Key File", s.privateKey.c_str(), 0, 'L');
        rec.addSetting(" Passphrase for Private Key", s.passphrase.c_str(), 0, 'p');
        rec.addSetting("Execute Script", nullptr, s.execute, 'e');
        rec.addSetting(" Script to Execute", s.command.c_str());
        rec.addSetting("Divide returned value by", s.divisor.c_str());
        rec.addSetting("How to run a script", nullptr, s.howToRun, 'e');
        rec.addSetting("Path to script", s.scriptPath.c_str(), 0, 'L');
        rec.addSetting("Script body", s.scriptBody.c_str());
        rec.addSetting("Script parameters", s.parameters.c_str());
        return host.poll(rec);
    }
    static QByteArray display(const PluginTestRecord& rec) { return rec.sectionText(ZAM_SECTION_DISPLAY_VALUE); }

    PluginTestHost host;
};

std::string hostFingerprint()
{
    QProcess keygen;
    keygen.start("ssh-keygen", {"-l", "-E", "md5", "-f", testservers::sshHostPublicKeyPath()});
    keygen.waitForFinished(10000);
    const QByteArray out = keygen.readAllStandardOutput();
    const int at = out.indexOf("MD5:");
    return at < 0 ? std::string() : out.mid(at + 4, 47).toStdString();
}

TEST_F(SshCheck, ConnectOnlyGivesTheConnectionTime)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    SshSettings s;
    s.execute = 2;
    ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
    EXPECT_GE(rec.mon.perfValue, 1);
    EXPECT_EQ(rec.sectionsByType()[ZAM_SECTION_MEASURE_UNIT].left(5), QByteArray(" msec"));
}

TEST_F(SshCheck, CommandOutputsAndExitStatuses)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case { const char* what; int execute; std::string command; std::string divisor; int rc; int64_t value; int resultCode;
                  const char* reasonStart; };
    const Case cases[] = {
        {"value and display", 0, "echo 42 apples", "1.0", 0, 42, -2, ""},
        {"divisor with letters", 0, "echo 42 apples", "2xyz", 0, 21, -2, ""},
        {"nagios warning keeps the value", 1, "echo 'WARN | x=7'; echo warned >&2; exit 1", "1", 0, 7, 1,
         "Execution failed with exit status 1: warned"},
        {"nagios critical fails", 1, "echo 9; exit 2", "1", 1, 0, -2, "Execution failed with exit status 2: 9"},
        {"standard error taken literally", 0, "echo '%n%s' >&2; exit 3", "1", 1, 0, -2, "Execution failed with exit status 3: %n%s"},
        {"back slashes become slashes", 0, "echo 5 \\\\tmp", "1", 0, 5, -2, ""},
        {"divisor zero", 0, "echo 1", "0", 1, 0, -2, "'Divide returned value by' must be a positive floating-point number"},
        {"divisor negative", 0, "echo 1", "-1", 1, 0, -2, "'Divide returned value by'"},
        {"divisor text", 0, "echo 1", "abc", 1, 0, -2, "'Divide returned value by'"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        SshSettings s;
        s.execute = c.execute;
        s.command = c.command;
        s.divisor = c.divisor;
        EXPECT_EQ(poll(rec, s), c.rc) << c.what << ": " << rec.mon.failReason;
        if (c.rc == 0 || c.resultCode == 1) {
            EXPECT_EQ(rec.mon.perfValue, c.value) << c.what;
        }
        EXPECT_EQ(rec.mon.resultCode, c.rc == 0 && c.resultCode != 1 ? rec.mon.resultCode : c.resultCode) << c.what;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reasonStart, 0), 0u) << c.what << ": " << rec.mon.failReason;
    }
    PluginTestRecord rec;
    SshSettings s;
    ASSERT_EQ(poll(rec, s), 0);
    EXPECT_EQ(display(rec), QByteArray("apples"));
}

TEST_F(SshCheck, HostKeyFingerprint)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string fingerprint = hostFingerprint();
    ASSERT_EQ(fingerprint.size(), 47u);
    std::string upper = fingerprint;
    for (char& c : upper)
        c = static_cast<char>(toupper(c));
    std::string dashed = fingerprint;
    for (char& c : dashed)
        if (c == ':')
            c = '-';
    for (const auto& [given, ok] : std::map<std::string, bool>{{fingerprint, true}, {upper, true}, {dashed, false}, {"", false}}) {
        PluginTestRecord rec;
        SshSettings s;
        s.testHostKey = 0;
        s.fingerprint = given;
        EXPECT_EQ(poll(rec, s) == 0, ok) << given << ": " << rec.mon.failReason;
        if (!ok) {
            EXPECT_EQ(std::string(rec.mon.failReason), "Host key fingerprint does not match: " + fingerprint);
        }
    }
}

TEST_F(SshCheck, AuthenticationMethods)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string key = testservers::sshKeyPath().toStdString();
    const std::string encrypted = testservers::sshEncryptedKeyPath().toStdString();
    struct Case { const char* what; int port; int method; std::string password; std::string privateKey; std::string passphrase;
                  bool ok; const char* reasonStart; };
    const Case cases[] = {
        {"password", testservers::kSshPort, 0, testservers::kPassword, "", "", true, ""},
        {"wrong password", testservers::kSshPort, 0, "wrong", "", "", false, "Authentication by password failed"},
        {"key", testservers::kSshPort, 1, "", key, "", true, ""},
        {"encrypted key", testservers::kSshPort, 1, "", encrypted, testservers::kKeyPassphrase, true, ""},
        {"wrong pass phrase", testservers::kSshPort, 1, "", encrypted, "nope", false, "Authentication by public key failed"},
        {"missing key file", testservers::kSshPort, 1, "", "/nonexistent/id_rsa", "", false, "Authentication by public key failed"},
        {"key then password", testservers::kSshPort, 2, testservers::kPassword, "/nonexistent/id_rsa", "", true, ""},
        {"keyboard-interactive", testservers::kSshKbdIntPort, 0, testservers::kPassword, "", "", true, ""},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        const SshSettings s = SshSettings::login(c.port, c.method, c.password, c.privateKey, c.passphrase);
        EXPECT_EQ(poll(rec, s) == 0, c.ok) << c.what << ": " << rec.mon.failReason;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reasonStart, 0), 0u) << c.what << ": " << rec.mon.failReason;
    }
}

TEST_F(SshCheck, ScriptsRunThroughTheirInterpreter)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case { const char* what; std::string body; bool ok; const char* expected; };
    const Case cases[] = {
        {"no interpreter line", "echo 1 \"$0 $*\"\n", true, "bash a b"},
        {"bash", "#!/bin/bash\necho 1 \"$0 $*\"\n", true, "/bin/bash a b"},
        {"python", "#!/usr/bin/env python3\nimport sys\nprint(1, sys.argv[0], *sys.argv[1:])\n", true, "- a b"},
        // node gets the script after -e on its command line, nothing on its standard input
        {"node", "#!/usr/bin/node\nconsole.log(1, process.argv.slice(1).join(' '))\n", true, "a b"},
        // any other interpreter gets " -- " before the parameters, which awk takes as its program
        {"awk", "#!/usr/bin/awk -f\nBEGIN { print 1 }\n", false, "Execution failed with exit status 2"},
        // a CR LF line end is part of the interpreter's name
        {"CR LF", "#!/bin/sh\r\necho 1\r\n", false, "Execution failed with exit status 127"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        SshSettings s;
        s.howToRun = 2;
        s.scriptBody = c.body;
        s.parameters = "a b";
        EXPECT_EQ(poll(rec, s) == 0, c.ok) << c.what << ": " << rec.mon.failReason;
        if (c.ok) {
            EXPECT_EQ(rec.mon.perfValue, 1) << c.what;
            EXPECT_EQ(display(rec), QByteArray(c.expected)) << c.what;
        } else {
            EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.expected, 0), 0u) << c.what << ": " << rec.mon.failReason;
        }
    }
    // script files: a 1 MiB one runs, one byte more is refused
    QTemporaryDir dir;
    for (const auto& [size, ok] : std::map<qint64, bool>{{1048576, true}, {1048577, false}}) {
        QByteArray text = "#!/bin/sh\necho 3 size\nexit 0\n#";
        text += QByteArray(static_cast<int>(size - text.size() - 1), 'x') + "\n";
        const QString path = dir.filePath(QString::number(size));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        PluginTestRecord rec;
        SshSettings s;
        s.howToRun = 1;
        s.scriptPath = path.toStdString();
        EXPECT_EQ(poll(rec, s, 20000) == 0, ok) << size << ": " << rec.mon.failReason;
        if (!ok) {
            EXPECT_STREQ(rec.mon.failReason, "Script file size must be less than 1MB");
        }
    }
}

TEST_F(SshCheck, BadInputAndSilentServers)
{
    ZAM_REQUIRE_TEST_SERVERS();
    for (int port : {0, 70000}) {
        PluginTestRecord rec;
        SshSettings s;
        s.port = port;
        EXPECT_EQ(poll(rec, s), 1);
        EXPECT_STREQ(rec.mon.failReason, "Port is out of range");
    }
    PluginTestRecord rec;
    SshSettings s;
    s.howToRun = 7;
    EXPECT_EQ(poll(rec, s), 1);
    EXPECT_STREQ(rec.mon.failReason, "Incorrect monitor parameters");

    // a server that accepts and never speaks: the handshake runs out of time
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    SshSettings quiet;
    quiet.port = silent.port();
    PluginTestRecord q;
    EXPECT_EQ(poll(q, quiet, 2000), 1);
    EXPECT_STREQ(q.mon.failReason, "Failed to establish SSH session: Timeout was reached");

    // 5 MB on standard output: the first 4095 bytes count
    SshSettings big;
    big.command = "echo 77 big; head -c 5000000 /dev/zero | tr '\\\\0' x";
    PluginTestRecord b;
    EXPECT_EQ(poll(b, big, 20000), 0) << b.mon.failReason;
    EXPECT_EQ(b.mon.perfValue, 77);
}

// Says stop once its deadline has passed.
struct StopAfter
{
    QElapsedTimer clock;
    int afterMs = 0;
    static int answer(void* self)
    {
        auto* me = static_cast<StopAfter*>(self);
        return me->clock.elapsed() >= me->afterMs ? 1 : 0;
    }
};

TEST_F(SshCheck, AStopFromTheServiceEndsTheCommandAtItsNextWait)
{
    ZAM_REQUIRE_TEST_SERVERS();
    StopAfter stop;
    stop.afterMs = 700;
    stop.clock.start();
    PluginTestRecord rec;
    rec.mon.stillAlive = &StopAfter::answer;
    rec.mon.stillAliveContext = &stop;
    SshSettings s;
    s.command = "sleep 10; echo 1";
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(poll(rec, s, 20000), 1);
    EXPECT_NE(std::string(rec.mon.failReason).find("stopped by service"), std::string::npos) << rec.mon.failReason;
    EXPECT_LT(took.elapsed(), 8000) << host.logTexts(ZAM_LOG_TRACE).join('|').right(1500).toStdString();
}

TEST_F(SshCheck, SocketNumbersAbove1023)
{
    ZAM_REQUIRE_TEST_SERVERS();
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 2048 && limit.rlim_max >= 2048) {
        limit.rlim_cur = 2048;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    std::vector<int> fillers;
    while (fillers.size() < 1100) {
        const int fd = ::open("/dev/null", O_RDONLY);
        if (fd < 0)
            break;
        fillers.push_back(fd);
    }
    ASSERT_GT(fillers.back(), 1023);
    PluginTestRecord rec;
    SshSettings s;
    const int rc = poll(rec, s);
    for (int fd : fillers)
        ::close(fd);
    EXPECT_EQ(rc, 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.perfValue, 42);
}

// A stock sshd offers only what its configuration allows; the attempts and their texts follow.
TEST_F(SshCheck, AuthenticationAgainstTheMethodsAServerOffers)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PrivateSshd passwordOnly({"PubkeyAuthentication no", "KbdInteractiveAuthentication no"});
    PrivateSshd keysOnly({"PasswordAuthentication no", "KbdInteractiveAuthentication no"});
    PrivateSshd stock;
    ASSERT_TRUE(passwordOnly.ok()) << passwordOnly.error().toStdString();
    ASSERT_TRUE(keysOnly.ok()) << keysOnly.error().toStdString();
    ASSERT_TRUE(stock.ok()) << stock.error().toStdString();
    const std::string key = testservers::sshKeyPath().toStdString();
    const std::string rsa = testservers::sshRsaKeyPath().toStdString();
    struct Case { const char* what; int port; int method; std::string password; std::string privateKey; bool ok; const char* reason; };
    const Case cases[] = {
        {"key or password, password only, wrong password", passwordOnly.port(), 2, "wrong", key, false,
         "Public key authentication is not supported; Authentication by password failed"},
        {"key or password, password only", passwordOnly.port(), 2, testservers::kPassword, key, true, ""},
        {"key, password only", passwordOnly.port(), 1, "", key, false, "Public key authentication is not supported"},
        {"password, keys only", keysOnly.port(), 0, testservers::kPassword, "", false, "Authentication by password is not supported"},
        // Debian 12's libssh2 signs RSA keys with ssh-rsa (SHA-1) only: the shared sshd allows it
        {"RSA key, server allowing ssh-rsa", testservers::kSshPort, 1, "", rsa, true, ""},
        {"RSA key, stock server", stock.port(), 1, "", rsa, false, "Authentication by public key failed"},
        // a new user's monitor keeps the default key files, which are not there
        {"default key files", stock.port(), 1, "", "id_rsa", false, "Authentication by public key failed"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        const SshSettings s = SshSettings::login(c.port, c.method, c.password, c.privateKey);
        QElapsedTimer took;
        took.start();
        EXPECT_EQ(poll(rec, s) == 0, c.ok) << c.what << ": " << rec.mon.failReason;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reason, 0), 0u) << c.what << ": " << rec.mon.failReason;
        EXPECT_LT(took.elapsed(), 3000) << c.what;
    }
}

// Sessions counted by the server: shared by equal credentials, never by connect-only polls, and
// renewed after the server restarts.
TEST_F(SshCheck, PooledSessionsAsTheServerSeesThem)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PrivateSshd server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    SshSettings password;
    password.port = server.port();
    SshSettings key = password;
    key.method = 1;
    key.privateKey = testservers::sshKeyPath().toStdString();
    key.publicKey = key.privateKey + ".pub";
    SshSettings connectOnly = password;
    connectOnly.execute = 2;
    struct Step { const char* what; const SshSettings& settings; int newConnections; };
    const Step steps[] = {
        {"first poll", password, 1},
        {"same credentials", password, 0},
        {"same user with a key", key, 1},
        {"connect only", connectOnly, 1},
        {"connect only again", connectOnly, 1},
        {"password once more", password, 0},
    };
    for (const Step& step : steps) {
        const int before = server.connectionCount();
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, step.settings), 0) << step.what << ": " << rec.mon.failReason;
        EXPECT_EQ(server.connectionCount() - before, step.newConnections) << step.what;
    }
    // the pooled sessions died with the server; the next poll finds out and connects anew
    ASSERT_TRUE(server.restart()) << server.error().toStdString();
    for (const SshSettings& s : {password, key}) {
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, s), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 42);
    }
}

TEST_F(SshCheck, NinePollsAtOnceLeaveOneWithoutASlot)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PrivateSshd server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    std::atomic<int> noSlot{0}, succeeded{0};
    std::vector<std::string> others;
    std::mutex othersMutex;
    std::vector<std::thread> threads;
    for (int t = 0; t < 9; ++t) {
        threads.emplace_back([&] {
            stCoreZamThreadContext* tctx = nullptr;
            ASSERT_EQ(host.api().init_thread(host.ctx(), &tctx), 0);
            PluginTestRecord rec;
            SshSettings s;
            s.port = server.port();
            s.command = "sleep 1; echo 1";
            rec.mon.typeIndex = kSsh;
            rec.mon.timeout = 1000;
            rec.setHost("", testservers::kHost, false);
            rec.clearSettings();
            rec.addSetting("Port", nullptr, s.port, 'i');
            rec.addSetting("Test Host Key", nullptr, 1, 'e');
            rec.addSetting(" Host Key Fingerprint", "");
            rec.addSetting("Authentication Type", nullptr, 0, 'e');
            rec.addSetting(" User Name", s.user.c_str());
            rec.addSetting(" Password", s.password.c_str(), 0, 'p');
            rec.addSetting("Execute Script", nullptr, 0, 'e');
            rec.addSetting(" Script to Execute", s.command.c_str());
            rec.addSetting("Divide returned value by", "1");
            rec.addSetting("How to run a script", nullptr, 0, 'e');
            const int rc = host.api().poll(host.ctx(), tctx, &rec.mon);
            if (rc == 0)
                ++succeeded;
            else if (std::string(rec.mon.failReason) == "Failed to establish SSH session")
                ++noSlot;
            else {
                std::lock_guard<std::mutex> lock(othersMutex);
                others.push_back(rec.mon.failReason);
            }
            host.api().term_thread(host.ctx(), tctx);
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(noSlot.load(), 1);
    EXPECT_EQ(succeeded.load(), 8);
    for (const std::string& reason : others)
        ADD_FAILURE() << reason;
}

// Closing steps share one grace of 5 s: a command that outlives the time-out cannot hold the
// poll for a grace per step.
TEST_F(SshCheck, ACommandThatOutlivesItsTimeOutEndsWithinOneGrace)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    SshSettings s;
    s.command = "sleep 30; echo 1";
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(poll(rec, s, 2000), 1);
    EXPECT_NE(std::string(rec.mon.failReason).find("Timeout was reached"), std::string::npos) << rec.mon.failReason;
    EXPECT_LT(took.elapsed(), 2000 + 5000 + 1500);
}

// Results that find no memory fail the poll with that reason; the poll's client goes back to
// the pool (dropped), so the server's other monitors still get slots.
TEST_F(SshCheck, AResultMemoryFailureFailsThePollAndFreesItsClient)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PrivateSshd server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    for (int execute : {0, 2}) {
        for (int i = 0; i < 9; ++i) {
            PluginTestRecord rec;
            rec.refuseMemory = true;
            SshSettings s;
            s.port = server.port();
            s.execute = execute;
            EXPECT_EQ(poll(rec, s, 1000), 1);
            EXPECT_STREQ(rec.mon.failReason, "Cannot allocate memory for polling results") << execute << " " << i;
        }
    }
    PluginTestRecord rec;
    SshSettings s;
    s.port = server.port();
    EXPECT_EQ(poll(rec, s), 0) << rec.mon.failReason;
}

} // namespace
