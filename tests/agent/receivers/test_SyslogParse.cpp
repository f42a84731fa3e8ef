// Syslog datagrams read into SyslogLine records: real datagrams sent by util-linux logger, the
// forms' edge cases, rejections with their texts, the name tables, the texts of a line and the
// stream form of a parsed line.

#include "receivers/SyslogLine.h"
#include "fuzz/syslog_line/SyslogReferenceParse.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

SyslogLine parsed(const QByteArray& datagram, bool* ok = nullptr)
{
    SyslogLine line;
    const bool valid = line.parse(datagram, QStringLiteral("127.0.0.1"));
    line.valid = valid;
    if (ok != nullptr)
        *ok = valid;
    return line;
}

// What logger sends for the arguments, caught by a UDP socket of this test.
QByteArray fromLogger(const QStringList& args)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return QByteArray();
    QProcess logger;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    logger.setProcessEnvironment(env);
    logger.start(QStringLiteral("logger"), QStringList{"-d", "-n", "127.0.0.1", "-P", QString::number(socket.localPort())} + args);
    logger.waitForFinished(10000);
    if (!socket.waitForReadyRead(5000))
        return QByteArray();
    QByteArray datagram(static_cast<int>(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(datagram.data(), datagram.size());
    return datagram;
}

TEST(SyslogParse, RealDatagramsFromLogger)
{
    const QByteArray old = fromLogger({"--rfc3164", "-p", "auth.crit", "-t", "su", "denied"});
    ASSERT_FALSE(old.isEmpty());
    bool ok = false;
    const SyslogLine a = parsed(old, &ok);
    ASSERT_TRUE(ok) << old.constData();
    EXPECT_FALSE(a.isRfc5424);
    EXPECT_EQ(a.priority, 34);
    // "<34>Mmm dd hh:mm:ss HOST su: denied": the host is logger's fourth field
    const QList<QByteArray> oldFields = old.split(' ');
    ASSERT_GE(oldFields.size(), 6) << old.constData();
    EXPECT_EQ(a.hostName, QString::fromUtf8(oldFields[oldFields.size() - 3]));
    EXPECT_EQ(a.message, "su: denied");
    EXPECT_TRUE(a.timestamp.isValid());
    EXPECT_EQ(a.timestamp.date().year(), 1900);
    EXPECT_EQ(QStringLiteral("Syslog message: %1").arg(a.displayText()),
              QStringLiteral("Syslog message: auth.CRIT: ") + QString::fromUtf8(old.mid(4)));

    const QByteArray modern = fromLogger({"--rfc5424", "--msgid", "ID47", "-p", "local4.notice", "-t", "app1", "hello world"});
    ASSERT_FALSE(modern.isEmpty());
    const SyslogLine b = parsed(modern, &ok);
    ASSERT_TRUE(ok) << modern.constData();
    EXPECT_TRUE(b.isRfc5424);
    EXPECT_EQ(b.appName, "app1");
    EXPECT_EQ(b.messageId, "ID47");
    EXPECT_EQ(b.message, "hello world");
    EXPECT_EQ(b.timestamp.offsetFromUtc(), 0);
    EXPECT_LE(qAbs(b.timestamp.secsTo(QDateTime::currentDateTimeUtc())), 60);
    EXPECT_EQ(b.structuredData.value("timeQuality").value("tzKnown"), "1") << qPrintable(b.structuredDataText());
    // logger writes microseconds; the record keeps the millisecond (Qt's ISO reading rounds
    // the first four digits of the fraction)
    const QByteArray stamp = modern.split(' ').value(1);
    const int dot = stamp.indexOf('.');
    ASSERT_GT(dot, 0) << stamp.constData();
    const double fraction = QByteArray("0." + stamp.mid(dot + 1, 4)).toDouble();
    EXPECT_EQ(b.timestamp.time().msec(), qMin(qRound(fraction * 1000.0), 999)) << stamp.constData();
    EXPECT_EQ(b.timestamp.toUTC().toString(Qt::ISODate), QString::fromLatin1(stamp.left(19)) + "Z");

    // a ']' in the message does not cut it: the structured data ends where its element does
    const SyslogLine c = parsed(fromLogger({"--rfc5424", "-t", "app2", "msg with ] bracket"}), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(c.message, "msg with ] bracket");
}

TEST(SyslogParse, FormsAndEdgeCases)
{
    struct Case { const char* what; QByteArray datagram; bool rfc5424; int priority; const char* host; const char* app; int pid;
                  const char* msgid; const char* message; };
    const Case cases[] = {
        {"priority only", "<13> hello", false, 13, nullptr, "", -1, "", ""},
        {"leading zeros", "<007>Oct 11 22:14:15 host1 x", false, 7, "host1", "", -1, "", "x"},
        {"one-digit version", "<13>2 - - - - - -", true, 13, "", "", 0, "", ""},
        {"two digits: RFC 3164", "<13>12 x y z", false, 13, "", "", -1, "", "12 x y z"},
        {"all nil", "<0>1 - - - - - -", true, 0, "", "", 0, "", ""},
        {"RFC 5424", "<165>1 2003-10-11T22:14:15.003Z host1 app1 - ID47 - hello world", true, 165, "host1", "app1", 0, "ID47",
         "hello world"},
        {"process id", "<165>1 - host1 app1 4711 - - x", true, 165, "host1", "app1", 4711, "", "x"},
        {"two spaces before the day", "<34>Oct  1 22:14:15 host1 su: denied", false, 34, "host1", "", -1, "", "su: denied"},
        {"invalid date keeps the host", "<34>Feb 29 22:14:15 host1 su: x", false, 34, "host1", "", -1, "", "su: x"},
        {"no timestamp shape", "<34>su: authentication failure for root", false, 34, "", "", -1, "",
         "su: authentication failure for root"},
        {"four fields", "<34>Oct 11 22:14:15 host1", false, 34, "host1", "", -1, "", ""},
        {"byte order mark", "<13>1 - - - - - - \xEF\xBB\xBF\xC3\xA4", true, 13, "", "", 0, "", "\xC3\xA4"},
    };
    for (const Case& c : cases) {
        bool ok = false;
        const SyslogLine line = parsed(c.datagram, &ok);
        ASSERT_TRUE(ok) << c.what << ": " << qPrintable(line.parseStatus);
        EXPECT_EQ(line.parseStatus, "OK");
        EXPECT_EQ(line.isRfc5424, c.rfc5424) << c.what;
        EXPECT_EQ(line.priority, c.priority) << c.what;
        EXPECT_EQ(line.facility, 1 << (c.priority >> 3)) << c.what;
        EXPECT_EQ(line.severity, 1 << (c.priority & 7)) << c.what;
        if (c.host == nullptr) {
            EXPECT_TRUE(line.hostName.isNull()) << c.what;
        } else {
            EXPECT_EQ(line.hostName, QString::fromUtf8(c.host)) << c.what;
        }
        EXPECT_EQ(line.appName, QString::fromUtf8(c.app)) << c.what;
        EXPECT_EQ(line.processId, c.pid) << c.what;
        EXPECT_EQ(line.messageId, QString::fromUtf8(c.msgid)) << c.what;
        EXPECT_EQ(line.message, QString::fromUtf8(c.message)) << c.what;
    }
    const SyslogLine iso = parsed("<165>1 2003-10-11T22:14:15.003Z host1 app1 - ID47 - hello world");
    EXPECT_EQ(iso.timestamp, QDateTime(QDate(2003, 10, 11), QTime(22, 14, 15, 3), Qt::UTC));
    const SyslogLine old = parsed("<34>Oct  1 22:14:15 host1 su: denied");
    EXPECT_EQ(old.timestamp.date(), QDate(1900, 10, 1));
    EXPECT_EQ(old.timestamp.time(), QTime(22, 14, 15));
    EXPECT_TRUE(parsed("<34>Feb 29 22:14:15 host1 su: x").timestamp.isNull());
    EXPECT_TRUE(parsed("<0>1 - - - - - -").timestamp.isNull());
    const SyslogLine nul = parsed(QByteArray("<13>1 - - - - - - a\0b", 21));
    EXPECT_EQ(nul.rawText, "<13>1 - - - - - - a");

    SyslogLine zones;
    EXPECT_TRUE(zones.parseTimeByPattern("2024-01-02T03:04:05-05:00 "));
    EXPECT_EQ(zones.timestamp.offsetFromUtc(), -18000);
    EXPECT_TRUE(zones.parseTimeByPattern("2024-01-02T03:04:05+0530 "));
    EXPECT_EQ(zones.timestamp.offsetFromUtc(), 19800);
}

TEST(SyslogParse, StructuredData)
{
    bool ok = false;
    const SyslogLine a = parsed("<13>1 - - - - - [id1 a=\"1\" b=\"x\\\"y\"][id2 c=\"\\]\"] msg", &ok);
    ASSERT_TRUE(ok) << qPrintable(a.parseStatus);
    EXPECT_EQ(a.structuredData["id1"]["a"], "1");
    EXPECT_EQ(a.structuredData["id1"]["b"], "x\"y");
    EXPECT_EQ(a.structuredData["id2"]["c"], "]");
    EXPECT_EQ(a.message, "msg");
    EXPECT_EQ(a.structuredDataText(), "[id1 a=\"1\" b=\"x\"y\"][id2 c=\"]\"]");

    const SyslogLine joined = parsed("<13>1 - - - - - [id1][id2 c=\"1\"] m", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(joined.structuredData.value("id1][id2").value("c"), "1") << "elements back to back are one SD-ID";
    EXPECT_EQ(joined.message, "m");

    const SyslogLine empty = parsed("<13>1 - - - - - [id1 a=] x", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(empty.structuredData["id1"]["a"], "");

    const SyslogLine bare = parsed("<13>1 - - - - - [id1] msg", &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(bare.structuredData.isEmpty()) << "an element without parameters stores nothing";
    EXPECT_EQ(bare.message, "msg");

    // the structured data ends with its last element, not at the last ']' of the datagram
    const SyslogLine bracket = parsed("<13>1 - vm app2 - - [id1@32473 a=\"1\"] msg with ] bracket [x y=\"2\"]", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bracket.message, "msg with ] bracket [x y=\"2\"]");
    EXPECT_EQ(bracket.structuredDataText(), "[id1@32473 a=\"1\"]");

    // elements and parameters come out in ascending order, whatever the datagram's order
    const SyslogLine unordered = parsed("<13>1 - - - - - [zz b=\"2\" a=\"1\"][aa y=\"\" x=\"v\"] m", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(unordered.structuredDataText(), "[aa x=\"v\" y=\"\"][zz a=\"1\" b=\"2\"]");
}

TEST(SyslogParse, Rejections)
{
    struct Case { QByteArray datagram; const char* status; };
    const Case cases[] = {
        {"", "Segments count is less that 2"},
        {"<13>", "Segments count is less that 2"},
        {"<192>1 - - - - - -", "PRI value is invalid"},
        {"<99999999999>x y", "PRI value is invalid"},
        {"<" + QByteArray(5000, '1') + ">x y", "PRI value is invalid"},
        {"13 hello", "PRI value is invalid"},
        {"<13>1 yesterday - - - - -", "Date section is invalid"},
        {"<13>1 - - - - - [id1 a=\"1\" msg", "Unable to find STRUCTURED-DATA section end"},
        {"<13>1 - - - - - x msg", "Unable to find STRUCTURED-DATA section end"},
        {"<13>1 - - - - - [id1 a=1] x", "STRUCTURED-DATA section is invalid"},
        {"<13>1 - - -", "Segments count is less that 7"},
        {"<13>Oct 11 22:14:15", "Segments count is less that 4"},
    };
    for (const Case& c : cases) {
        bool ok = true;
        const SyslogLine line = parsed(c.datagram, &ok);
        EXPECT_FALSE(ok) << c.datagram.left(60).constData();
        EXPECT_EQ(line.parseStatus, QString::fromLatin1(c.status)) << c.datagram.left(60).constData();
    }
    // hostile bytes: a verdict, never a read past the datagram
    for (const QByteArray& bad : {QByteArray(65507, 'x'), QByteArray("<13>1 - - - - - [a b=\"\xff\xfe\\") , QByteArray("<1>\0\0\0 \0", 9),
                                  QByteArray("<13>1 - - - - - [[[[\"\"\"]]]")}) {
        SyslogLine line;
        line.parse(bad, QString());
        EXPECT_FALSE(line.parseStatus.isEmpty());
    }
}

TEST(SyslogParse, NamesAndTexts)
{
    const auto facilities = syslogFacilityNames();
    const auto severities = syslogSeverityNames();
    ASSERT_EQ(facilities.size(), 24);
    ASSERT_EQ(severities.size(), 8);
    const QStringList facilityNames = QStringLiteral(
        "kernel user mail daemon auth syslog lpr news uucp cron security ftp ntp logaudit logalert clock "
        "local0 local1 local2 local3 local4 local5 local6 local7").split(' ');
    const QStringList severityNames = QStringLiteral("EMERG ALERT CRIT ERR WARNING NOTICE INFO DEBUG").split(' ');
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(facilities.value(qint64(1) << i), facilityNames[i]) << i;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(severities.value(qint64(1) << i), severityNames[i]) << i;
    EXPECT_EQ(facilities.value(1 << 4), "auth");
    EXPECT_EQ(facilities.value(1 << 13), "logaudit");
    EXPECT_EQ(facilities.value(1 << 23), "local7");
    EXPECT_EQ(severities.value(1 << 2), "CRIT");
    EXPECT_EQ(severities.value(1 << 7), "DEBUG");
    EXPECT_EQ(facilities.value(1 << 24), "");

    const SyslogLine line = parsed("<34>Dec 10 12:55:37 vm su: denied");
    EXPECT_EQ(line.displayText(), "auth.CRIT: Dec 10 12:55:37 vm su: denied");
    EXPECT_EQ(QStringLiteral("Syslog message: %1").arg(line.displayText()), "Syslog message: auth.CRIT: Dec 10 12:55:37 vm su: denied");
    EXPECT_EQ(line.hostName, "vm");
    EXPECT_EQ(line.message, "su: denied");
    EXPECT_EQ(line.shortText(), "auth.CRIT: ");
    const QStringList details = line.detailsText().split(QStringLiteral("\n "));
    ASSERT_EQ(details.size(), 11);
    EXPECT_EQ(details[0], "Is RFC 5424 = 0");
    EXPECT_EQ(details[1], "IP = 127.0.0.1");
    EXPECT_EQ(details[2], "Host = vm");
    EXPECT_EQ(details[6], "Severity level = CRIT");
    EXPECT_EQ(details[7], "Facility = auth");
    EXPECT_EQ(details[10], "Message = su: denied");

    const SyslogLine modern = parsed("<165>1 2003-10-11T22:14:15.003Z host1 app1 42 ID47 [b x=\"1\"][a y=\"2\"] hello");
    EXPECT_EQ(modern.shortText(), "local4.NOTICE: app1");
    EXPECT_EQ(modern.detailsText(),
              "Is RFC 5424 = 1\n IP = 127.0.0.1\n Host = host1\n Application (tag) = app1\n Process Id = 42\n"
              " Message Id = ID47\n Severity level = NOTICE\n Facility = local4\n"
              " Date and time = 2003-10-11T22:14:15Z\n Structured data = [a y=\"2\"][b x=\"1\"]\n Message = hello");
}

TEST(SyslogParse, ParsedLineStreamsAndReadsBack)
{
    auto line = new SyslogLine;
    line->valid = line->parse("<165>1 2003-10-11T22:14:15.003Z host1 app1 42 ID47 [a b=\"c\"] hello world", "10.0.0.1");
    ASSERT_TRUE(line->valid);
    const SyslogCallbackSharedDataPointer written(line);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << written;
    }
    SyslogCallbackSharedDataPointer read;
    QDataStream in(bytes);
    in >> read;
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->valid);
    EXPECT_EQ(read->message, "hello world");
    EXPECT_EQ(read->structuredData, written->structuredData);
    EXPECT_EQ(read->timestamp, written->timestamp);
    EXPECT_EQ(read->processId, 42);
    EXPECT_TRUE(read->sender.isEmpty());
    EXPECT_TRUE(read->parseStatus.isNull());
    QByteArray again;
    {
        QDataStream out(&again, QIODevice::WriteOnly);
        out << read;
    }
    EXPECT_EQ(again, bytes) << "byte-exact";
}

// A literal's bytes, NULs included.
template <int N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

// The byte parser against the regular-expression reading it replaced: shapes at every branch,
// then seeded mutations of them (bytes flipped, cut, spaces and NULs and UTF-8 inserted).
TEST(SyslogParse, ReadsEveryDatagramAsTheRegexReadingDid)
{
    const QList<QByteArray> shapes = {
        bytes("<34>Oct 11 22:14:15 host1 su: denied"),
        bytes("<34>Oct  1 22:14:15 host1 su: denied"),
        bytes("<34>Oct   1 22:14:15 host1 su: denied"),
        bytes("<34>oCT 11 22:14:15 host1"),
        bytes("<34>Oct 11 22:14:15 host1 "),
        bytes("<34>Feb 29 22:14:15 host1 x"),
        bytes("<34>Xyz 11 22:14:15 host1 x"),
        bytes("<34>Oct 11 24:14:15 host1 x"),
        bytes("<34>Oct 11 22:14"),
        bytes("<34>Oct \xd9\xa1 22:14:15 host1 x"),
        bytes("<\xd9\xa3>Oct 11 22:14:15 h m"),
        bytes("<0\xd9\xa3>x y"),
        bytes("<0000191>x y"),
        bytes("<13> hello"),
        bytes("<13>[x y"),
        bytes("<13>_x y"),
        bytes("<13>\xc3\xa4x y \xff z"),
        bytes("<13>Oct 11 22:14:15 h a\0b c"),
        bytes("<13>Oct 11 22:14:15 h a b\0c d \xe2\x82 e"),
        bytes("<165>1 2003-10-11T22:14:15.003Z host1 app1 - ID47 - hello world"),
        bytes("<165>1 2003-10-11T22:14:15.003456Z h a 12 M - x"),
        bytes("<165>1 2003-10-11T22:14:15.99995Z h a 12 M - x"),
        bytes("<165>1 2003-10-11T22:14:15.5+05:30 h a +7 M - x"),
        bytes("<165>1 2003-10-11T22:14:15-00:00 h a 0x1 M - x"),
        bytes("<165>1 2003-10-11T22:14:15+99:00 h a 99999999999 M - x"),
        bytes("<165>1 2003-10-11T24:00:00Z h a - M - x"),
        bytes("<165>1 2003-10-11T22:14Z h a - M - x"),
        bytes("<165>1 2003-10-11T22:14:15 h a - M - x"),
        bytes("<165>1 2003-10-11t22:14:15Z h a - M - x"),
        bytes("<165>1 2003-02-30T22:14:15Z h a - M - x"),
        bytes("<165>1 0000-10-11T22:14:15Z h a - M - x"),
        bytes("<165>1 2003-10-11T22:14:15.Z h a - M - x"),
        bytes("<165>1 2003-10-11T22:14:15Z\t h a - M - x"),
        bytes("<165>1 2003-10-11T22:14:15+0530\t h a - M - x"),
        bytes("<165>1 2003-10-11T22:14:15.003Z\0junk h a - M - x"),
        bytes("<13>1 - - - - - -"),
        bytes("<13>1 - - - - - - "),
        bytes("<13>1 - - - - - - \xef\xbb\xbf\xc3\xa4 \xff"),
        bytes("<13>1 - - - - - - a\0b c"),
        bytes("<13>1 - - - - -\0 - x"),
        bytes("<13>1 - - - - - [id1 a=\"1\" b=\"x\\\"y\"][id2 c=\"\\]\"] msg"),
        bytes("<13>1 - - - - - [id1][id2 c=\"1\"] m"),
        bytes("<13>1 - - - - - [id1 a=] x"),
        bytes("<13>1 - - - - - [id1 =\"v\" a b=\"\"] x"),
        bytes("<13>1 - - - - - [id1 a=\"\xc3\xa4\0z\"] \xff"),
        bytes("<13>1 - - - - - [ a=\"1\"] x"),
        bytes("<13>1 - - - - - [id1 a=\"1\"]"),
        bytes("<13>1 - - - - - [id1 a=\"1\"]x"),
        bytes("<13>1 - - - - - [id1 a=\"1\" \xff] x"),
        bytes("<13>1 - \xef\xbb\xbf- - \xef\xbb\xbf" "12 \xef\xbb\xbf- - m"),
        bytes("\xef\xbb\xbf<34>Oct 11 22:14:15 h m"),
    };
    const QList<QByteArray>& datagrams = shapes;
    for (const QByteArray& d : datagrams)
        EXPECT_EQ(syslog_reference::disagreement(d), QString()) << d.constData();

    const char inserts[] = {' ', '\0', '-', '[', ']', '"', '\\', '=', ':', 'T', 'Z', '+', '.', '<', '>', '0', '9'};
    QRandomGenerator rng(2026);
    int failures = 0;
    for (int round = 0; round < 20000 && failures < 10; ++round) {
        QByteArray d = datagrams[rng.bounded(datagrams.size())];
        for (int edits = 1 + rng.bounded(3); edits > 0 && !d.isEmpty(); --edits) {
            const int at = rng.bounded(d.size());
            switch (rng.bounded(5)) {
            case 0: d[at] = inserts[rng.bounded(int(sizeof inserts))]; break;
            case 1: d.insert(at, inserts[rng.bounded(int(sizeof inserts))]); break;
            case 2: d.remove(at, 1 + rng.bounded(3)); break;
            case 3: d[at] = char(rng.bounded(256)); break;
            default: d.insert(at, "\xd9\xa3"); break;
            }
        }
        const QString differs = syslog_reference::disagreement(d);
        if (!differs.isEmpty()) {
            ++failures;
            ADD_FAILURE() << d.toPercentEncoding().constData() << ": " << qPrintable(differs);
        }
    }
}

} // namespace
