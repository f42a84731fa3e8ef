#pragma once
// Pieces the trap tests share: BER-built datagrams, the snmptrap/snmpinform peers of Debian's
// snmp package, and the users they speak as.
#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <ostream>

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace traptest {

// One BER element; lengths in short or long form as needed.
inline QByteArray tlv(unsigned char tag, const QByteArray& body)
{
    QByteArray out(1, char(tag));
    const int n = body.size();
    if (n < 0x80) {
        out += char(n);
    } else if (n < 0x100) {
        out += char(0x81);
        out += char(n);
    } else {
        out += char(0x82);
        out += char(n >> 8);
        out += char(n & 0xff);
    }
    return out + body;
}
inline QByteArray integer(int v)
{
    QByteArray b;
    do {
        b.prepend(char(v & 0xff));
        v >>= 8;
    } while (v != 0 && v != -1);
    if (!b.isEmpty() && (b[0] & 0x80) && v == 0)
        b.prepend('\0');
    return tlv(0x02, b);
}
inline QByteArray octets(const QByteArray& b) { return tlv(0x04, b); }
// A dotted OID starting "1.3.".
inline QByteArray objectId(const QByteArray& dotted)
{
    const QList<QByteArray> parts = dotted.split('.');
    QByteArray b(1, char(40 * parts[0].toInt() + parts[1].toInt()));
    for (int i = 2; i < parts.size(); ++i) {
        quint32 v = parts[i].toUInt();
        QByteArray enc(1, char(v & 0x7f));
        while (v >>= 7)
            enc.prepend(char(0x80 | (v & 0x7f)));
        b += enc;
    }
    return tlv(0x06, b);
}
inline QByteArray binding(const QByteArray& oid, const QByteArray& value) { return tlv(0x30, objectId(oid) + value); }

// A v2c message of the PDU type (0xA7 trap, 0xA6 inform, 0xA0 get, 0xA2 response) with
// sysUpTime.0 5 and the trap OID, then the extra bindings.
inline QByteArray v2cMessage(unsigned char pduType, const QByteArray& community, const QByteArray& trapOid,
                             const QByteArray& extra = {})
{
    const QByteArray bindings = binding("1.3.6.1.2.1.1.3.0", tlv(0x43, QByteArray(1, 5)))
        + binding("1.3.6.1.6.3.1.1.4.1.0", objectId(trapOid)) + extra;
    const QByteArray pdu = tlv(pduType, integer(77) + integer(0) + integer(0) + tlv(0x30, bindings));
    return tlv(0x30, integer(1) + octets(community) + pdu);
}

// The plain head of a v3 USM message: global data, then the security parameters naming the
// engine ID and user; scoped PDU bytes follow as given.
inline QByteArray v3Message(const QByteArray& engineId, const QByteArray& user, const QByteArray& rest = octets("x"))
{
    const QByteArray global = tlv(0x30, integer(1) + integer(65507) + octets(QByteArray(1, 0x04)) + integer(3));
    const QByteArray usm = tlv(0x30, octets(engineId) + integer(1) + integer(2) + octets(user) + octets("") + octets(""));
    return tlv(0x30, integer(3) + global + octets(usm) + rest);
}

// Runs a peer from Debian's snmp package; its exit code (-2 when it did not start or end).
inline int runPeer(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // Numeric OIDs only: no MIB files to read.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MIBS"), QString());
    env.insert(QStringLiteral("SNMPCONFPATH"), QStringLiteral("/nonexistent"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(20000))
        return -2;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

// Target "127.0.0.1:<port>".
inline QString target(int port) { return QStringLiteral("127.0.0.1:%1").arg(port); }

inline QStringList v3Args(const QString& user, const QString& auth, const QString& authPass, const QString& priv,
                          const QString& privPass)
{
    QStringList a{"-v", "3", "-u", user, "-l", priv.isEmpty() ? "authNoPriv" : "authPriv", "-a", auth, "-A", authPass};
    if (!priv.isEmpty())
        a << "-x" << priv << "-X" << privPass;
    return a;
}

} // namespace traptest
