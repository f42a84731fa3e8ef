#include "WebUtils.h"

#include "CUrl.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QUrl>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace WebUtils {

QStringList g_timedOutAddresses;
QMutex g_webUtilsMutex;
const QHostAddress g_linkLocalAddresses(QStringLiteral("169.254.0.0"));

namespace {

// Local host name cache: guarded by g_webUtilsMutex for reads and writes; only written while
// g_localNameMutex is held.
QList<QHostAddress> g_prevAddrs;
QString g_prevName;
QMutex g_localNameMutex;

bool isMarkedSlow(const QString& address)
{
    QMutexLocker lock(&g_webUtilsMutex);
    return g_timedOutAddresses.contains(address);
}

constexpr qint64 kMaxOsReleaseBytes = 64 * 1024;

} // namespace

void refreshTimedOutAddresses(const QString& address, qint64 elapsedMs)
{
    if (elapsedMs >= 1000) {
        if (!g_timedOutAddresses.contains(address))
            g_timedOutAddresses.append(address);
    } else {
        g_timedOutAddresses.removeAll(address);
    }
}

bool areSameIps(const QString& a, const QString& b)
{
    QHostAddress ha, hb;
    if (ha.setAddress(a) && hb.setAddress(b)) {
        // Two IPv6 addresses would both read as IPv4 value 0; compare them as addresses.
        if (ha.protocol() == QAbstractSocket::IPv4Protocol && hb.protocol() == QAbstractSocket::IPv4Protocol)
            return ha.toIPv4Address() == hb.toIPv4Address();
        return ha.isEqual(hb);
    }
    return a == b;
}

Optional<QString> canonicalizeIp(const Optional<QString>& ip)
{
    if (!ip.hasValue())
        return ip;
    QHostAddress a;
    if (!a.setAddress(ip.rawValue()))
        return ip;
    return Optional<QString>(a.toString());
}

bool hostnameContainsDomain(const QString& host)
{
    static const QRegularExpression re(QStringLiteral("\\.[^.]"));
    return re.match(host).hasMatch();
}

QString mergeHostnameWithDomain(const QString& host, const QString& domain)
{
    return host.section(QLatin1Char('.'), 0, 0) + domain;
}

bool areSameHostnames(const QString& a, const QString& b, const QString& domain)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    if (domain.isEmpty())
        return false;
    const bool aq = hostnameContainsDomain(a);
    const bool bq = hostnameContainsDomain(b);
    if (aq == bq)
        return false;
    const QString& shortName = aq ? b : a;
    const QString& qualified = aq ? a : b;
    return mergeHostnameWithDomain(shortName, domain).compare(qualified, Qt::CaseInsensitive) == 0;
}

bool areSameHosts(const SHostRec& lhs, const SHostRec& rhs, bool compareAddresses, bool compareNames,
                  bool compareFlag, const QStringList& addressList, const QString& domain)
{
    if (compareFlag && !(lhs.matchFlag == rhs.matchFlag))
        return false;
    bool addressMatch = false;
    if (compareAddresses && rhs.ipAddress.hasValue()) {
        if (addressList.isEmpty())
            addressMatch = lhs.ipAddress.hasValue() && lhs.ipAddress.rawValue() == rhs.ipAddress.rawValue();
        else
            addressMatch = addressList.contains(rhs.ipAddress.rawValue())
                           && addressList.contains(lhs.ipAddress.valueOrEmpty());
    }
    if (!compareNames)
        return addressMatch;
    if (!rhs.hostName.hasValue())
        return false;
    const QString left = lhs.hostName.valueOrEmpty();
    const QString right = rhs.hostName.rawValue();
    bool nameMatch = areSameHostnames(left, right, domain);
    if (!nameMatch && addressMatch && left.isEmpty())
        nameMatch = right.isEmpty();
    return compareAddresses ? (nameMatch && addressMatch) : nameMatch;
}

bool parseUrl(const QString& text, SParsedUrlRec& out, bool ftpExpected)
{
    CUrl url(text);
    if (!url.isValid())
        return false;
    const int sep = text.indexOf(QLatin1String("://"));
    QString scheme = sep >= 0 ? text.left(sep).toLower() : QString();
    int defaultPort = CUrl::defaultPort(scheme);
    if (defaultPort < 0) {
        scheme = ftpExpected ? QStringLiteral("ftp") : QStringLiteral("http");
        defaultPort = CUrl::defaultPort(scheme);
        url = CUrl(scheme + QLatin1String("://") + text);
        if (!url.isValid())
            return false;
    }
    const bool ftpFamily = scheme == QLatin1String("ftp") || scheme == QLatin1String("ftps")
                           || scheme == QLatin1String("sftp");
    if (ftpFamily != ftpExpected)
        return false;
    const int port = url.port(defaultPort);
    if (port > 65535 || port < 0)
        return false;
    const QString host = url.hostUtf8();
    if (host.isEmpty())
        return false;
    out.port = port;
    url.setPort(port);
    out.userName = url.userName(QUrl::FullyDecoded);
    out.password = url.password(QUrl::FullyDecoded);
    out.tail = url.tail();
    out.secure = scheme == QLatin1String("https") || scheme == QLatin1String("ftps")
                 || scheme == QLatin1String("sftp");
    out.url = url.toString(true);
    out.host = host;
    return true;
}

bool checkServerPort(const QHostAddress& address, int port, QString& error)
{
    error.clear();
    bool ok = false;
    quint32 v4 = address.toIPv4Address(&ok);
    if (!ok && address == QHostAddress(QHostAddress::Any)) {
        v4 = 0;
        ok = true;
    }
    // getprotobyname is not reentrant; the protocol number of "tcp" is fixed.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error = QStringLiteral("invalid socket");
        return false;
    }
    // The listening servers set SO_REUSEADDR too; without it a port in TIME_WAIT looks busy.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(quint16(port));
    sa.sin_addr.s_addr = htonl(v4);
    if (!ok || port < 0 || port > 65535
        || ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        error = QStringLiteral("can not bind socket to port");
    ::close(fd);
    return error.isEmpty();
}

void updateIdnWhitelist() {}

QString defaultWwwHost()
{
    return QStringLiteral("localhost");
}

QPair<QString, QString> stringToHeader(const QString& line)
{
    const int colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {};
    return {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()};
}

QString makeWebServerUrl(EWebServerMode mode, const QString& host, int port)
{
    const bool https = mode != WebServerHttp;
    const int defaultPort = https ? 443 : 80;
    return QStringLiteral("%1://%2%3")
        .arg(https ? QStringLiteral("https") : QStringLiteral("http"), host,
             port == defaultPort ? QString() : QStringLiteral(":%1").arg(port));
}

QString clearLFAndTrim(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

bool isActualNetworkError(QNetworkReply::NetworkError code)
{
    const int c = int(code);
    return c > 0 && c != 5 && c != 202 && c != 301 && c != 399;
}

void networkReplyErrToStr(QNetworkReply::NetworkError code, QString& text)
{
    const char* s = "unknown error";
    switch (int(code)) {
    case 1: s = "server refused the connection"; break;
    case 2: s = "server closed the connection prematurely, before the entire reply was received and processed"; break;
    case 3: s = "host name was not found"; break;
    case 4: s = "connection time out"; break;
    case 5: s = "the operation was canceled"; break;
    case 6: s = "the SSL/TLS handshake failed"; break;
    case 101: s = "proxy refused the connection"; break;
    case 102: s = "proxy closed the connection"; break;
    case 103: s = "proxy was not found"; break;
    case 104: s = "proxy connection time out"; break;
    case 105: s = "proxy requires authentication"; break;
    case 199: s = "unknown proxy error"; break;
    case 201: s = "access denied"; break;
    case 202: s = "operation is not permitted"; break;
    case 203: s = "content not found"; break;
    case 204: s = "server requires authentication"; break;
    case 299: s = "unknown content error"; break;
    case 301: s = "unknown protocol"; break;
    case 302: s = "invalid protocol operation"; break;
    case 399: s = "a breakdown in protocol"; break;
    default: break;
    }
    text = QString::fromLatin1(s);
}

QString jsonToString(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::number(value.toDouble(), 'g', 6);
    case QJsonValue::String: return value.toString();
    case QJsonValue::Array:
    case QJsonValue::Object: {
        const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
        const QByteArray bytes = doc.toJson(QJsonDocument::Indented);
        return bytes.isEmpty() ? QString() : QString::fromUtf8(bytes);
    }
    case QJsonValue::Undefined:
    default:
        return QStringLiteral("<undefined>");
    }
}

QList<QHostAddress> getAllAddrsByHostname(const QString& host)
{
    QList<QHostAddress> out;
    const QByteArray ace = QUrl::toAce(host);
    if (ace.isEmpty())
        return out;
    addrinfo* res = nullptr;
    if (::getaddrinfo(ace.constData(), nullptr, nullptr, &res) != 0)
        return out;
    for (const addrinfo* ai = res; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || !ai->ai_addr)
            continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        out.append(QHostAddress(quint32(ntohl(sin->sin_addr.s_addr))));
    }
    ::freeaddrinfo(res);
    return out;
}

bool canResolveHostnameToIp(const QString& host)
{
    return !getAllAddrsByHostname(host).isEmpty();
}

QList<QHostAddress> getOrResolveAllAddrs(const QString& hostOrAddress, bool& isAddress, QByteArray& error)
{
    QHostAddress a;
    if (a.setAddress(hostOrAddress)) {
        isAddress = true;
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return {a};
        error = "only IPv4 is supported";
        return {};
    }
    isAddress = false;
    const QList<QHostAddress> all = getAllAddrsByHostname(hostOrAddress);
    if (all.isEmpty())
        error = "cannot resolve host IP address";
    return all;
}

QHostAddress getOrResolveFirstAddr(const QString& hostOrAddress, bool& isAddress, QByteArray& error)
{
    const QList<QHostAddress> all = getOrResolveAllAddrs(hostOrAddress, isAddress, error);
    return all.isEmpty() ? QHostAddress() : all.first();
}

QHostAddress getFirstAddrByHostname(const QString& host)
{
    const QList<QHostAddress> all = getAllAddrsByHostname(host);
    return all.isEmpty() ? QHostAddress() : all.first();
}

QString chooseAddress(const QList<QHostAddress>& addresses, const QString& preferred,
                      const QStringList& slowAddresses)
{
    QString candidate;
    for (int i = addresses.size() - 1; i >= 0; --i) {
        const QString text = addresses.at(i).toString();
        if (text == preferred)
            return text;
        if (!slowAddresses.contains(text))
            candidate = text;
    }
    if (candidate.isEmpty() && !addresses.isEmpty())
        candidate = addresses.first().toString();
    return candidate;
}

QString getIpByHostname(const QString& host, const QString& preferred)
{
    const QList<QHostAddress> all = getAllAddrsByHostname(host);
    QMutexLocker lock(&g_webUtilsMutex);
    return chooseAddress(all, preferred, g_timedOutAddresses);
}

QStringList getLocalAddresses()
{
    const QList<QHostAddress> all = QNetworkInterface::allAddresses();
    QStringList fast, slow;
    QMutexLocker lock(&g_webUtilsMutex);
    for (const QHostAddress& a : all) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol || a.isInSubnet(g_linkLocalAddresses, 16))
            continue;
        const QString text = a.toString();
        (g_timedOutAddresses.contains(text) ? slow : fast).append(text);
    }
    return fast + slow;
}

namespace {

// gethostbyaddr_r: the answer lives in our own buffer, so parallel lookups cannot clobber it.
bool systemReverseLookup(quint32 ipv4, QByteArray* officialName, QList<QByteArray>* aliases)
{
    in_addr in{};
    in.s_addr = htonl(ipv4);
    hostent he{};
    hostent* answer = nullptr;
    int herr = 0;
    std::vector<char> buffer(8192);
    int rc;
    while ((rc = ::gethostbyaddr_r(&in, sizeof in, AF_INET, &he, buffer.data(), buffer.size(), &answer,
                                   &herr)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !answer)
        return false;
    for (char** alias = answer->h_aliases; alias && *alias; ++alias)
        aliases->append(QByteArray(*alias));
    if (answer->h_name)
        *officialName = QByteArray(answer->h_name);
    return true;
}

std::atomic<ReverseLookupFn> g_reverseLookup{&systemReverseLookup};

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::atomic<MonotonicMsFn> g_lookupClock{&steadyMs};

} // namespace

void setReverseLookup(ReverseLookupFn fn)
{
    g_reverseLookup.store(fn ? fn : &systemReverseLookup);
}

void setLookupClock(MonotonicMsFn fn)
{
    g_lookupClock.store(fn ? fn : &steadyMs);
}

QString chooseHostName(const QByteArray& officialName, const QList<QByteArray>& aliases, const QString& preferred)
{
    QString last;
    for (const QByteArray& alias : aliases) {
        last = QUrl::fromAce(alias);
        if (last == preferred)
            return last;
    }
    if (!officialName.isEmpty())
        return QUrl::fromAce(officialName);
    return last;
}

QString getHostnameByIp(const QString& address, const QString& preferred, bool lock)
{
    if (address.isEmpty())
        return QString();
    QHostAddress a;
    if (!a.setAddress(address) || a.protocol() != QAbstractSocket::IPv4Protocol)
        return QString();

    const MonotonicMsFn clock = g_lookupClock.load();
    const qint64 started = clock();
    QByteArray officialName;
    QList<QByteArray> aliases;
    const bool answered = g_reverseLookup.load()(a.toIPv4Address(), &officialName, &aliases);
    const qint64 elapsed = clock() - started;
    if (lock) {
        QMutexLocker locker(&g_webUtilsMutex);
        refreshTimedOutAddresses(address, elapsed);
    } else {
        refreshTimedOutAddresses(address, elapsed);
    }
    return answered ? chooseHostName(officialName, aliases, preferred) : QString();
}

QString getLocalhostName(bool resolve)
{
    char buffer[1025] = {};
    QString name = ::gethostname(buffer, sizeof buffer - 1) == 0 ? QUrl::fromAce(QByteArray(buffer))
                                                                 : QStringLiteral("localhost");
    if (!resolve)
        return name;

    // Only other callers of this path wait here; address lookups never wait for it.
    QMutexLocker resolving(&g_localNameMutex);
    const QList<QHostAddress> addresses = getAllAddrsByHostname(name);
    if (addresses.isEmpty())
        return name;
    {
        QMutexLocker lock(&g_webUtilsMutex);
        if (addresses == g_prevAddrs)
            return g_prevName;
    }
    name.clear();
    QString fallback;
    QStringList slowNow;
    for (const QHostAddress& a : addresses) {
        if (!name.isEmpty())
            break;
        const QString text = a.toString();
        if (isMarkedSlow(text))
            continue;
        const QString answer = getHostnameByIp(text, QString(), true);
        if (isMarkedSlow(text)) {
            slowNow << text;
            if (!answer.isEmpty())
                fallback = answer;
        } else if (!answer.isEmpty()) {
            name = answer;
        }
    }
    for (const QHostAddress& a : addresses) {
        if (!name.isEmpty())
            break;
        const QString text = a.toString();
        if (isMarkedSlow(text) && !slowNow.contains(text))
            name = getHostnameByIp(text, QString(), true);
    }
    if (name.isEmpty())
        name = fallback;
    QMutexLocker lock(&g_webUtilsMutex);
    g_prevAddrs = addresses;
    g_prevName = name;
    return name;
}

bool _isValidIp(const QString& text, bool checkRanges, bool partial)
{
    QStringList parts = text.split(QLatin1Char('.'));
    if (partial ? (parts.size() < 1 || parts.size() > 4) : parts.size() != 4)
        return false;
    if (partial && parts.last().isEmpty())
        parts.removeLast();
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const int v = parts.at(i).toInt(&ok, 10);
        if (!ok || v < 0 || QString::number(v) != parts.at(i))
            return false;
        if (checkRanges && (v > 255 || (i == 0 && v < 1)))
            return false;
    }
    if (partial || !checkRanges)
        return true;
    QHostAddress a;
    return a.setAddress(text) && !a.isNull() && a.protocol() == QAbstractSocket::IPv4Protocol;
}

bool isValidIp(const QString& text, bool partial)
{
    return _isValidIp(text, true, partial);
}

bool isValidHostName(const QString& text)
{
    if (_isValidIp(text, false, true))
        return false;
    QUrl url;
    url.setHost(text, QUrl::DecodedMode);
    return url.isValid();
}

QStringList textToHeadersList(const QString& text, bool mend)
{
    QStringList out;
    const QStringList lines = text.trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString line : lines) {
        line = line.trimmed();
        if (mend && !line.isEmpty() && !line.contains(QLatin1Char(':'))) {
            const int semi = line.indexOf(QLatin1Char(';'));
            if (semi >= 0 && semi == line.size() - 1)
                line.replace(QLatin1Char(';'), QLatin1Char(':'));
            else
                line += QLatin1Char(':');
        }
        out << line;
    }
    return out;
}

QMap<QString, QString> parseOsRelease(const QByteArray& text)
{
    QMap<QString, QString> out;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2
            && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
                || (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
            value = value.mid(1, value.size() - 2);
        out.insert(key, value);
    }
    return out;
}

bool buildSystemInfo(const utsname* u, const QByteArray* osRelease, SSystemInfo& info)
{
    const QMap<QString, QString> release = osRelease ? parseOsRelease(*osRelease) : QMap<QString, QString>();
    info.prettyName = release.value(QStringLiteral("PRETTY_NAME"), QStringLiteral("Unknown"));
    if (!u) {
        info.architecture = QStringLiteral("Unknown");
        info.systemName = QStringLiteral("Unknown");
        return false;
    }
    info.systemName = QString::fromUtf8(u->sysname);
    info.architecture = QString::fromUtf8(u->machine);
    return true;
}

bool getSystemInfo(SSystemInfo& info)
{
    static const QString kPath = QStringLiteral("/etc/os-release");
    QByteArray release;
    bool haveRelease = false;
    QFile file(kPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("Could not open file: %s", qUtf8Printable(kPath));
    } else {
        release = file.read(kMaxOsReleaseBytes);
        haveRelease = true;
    }
    utsname u{};
    const bool unameOk = ::uname(&u) == 0;
    if (!unameOk)
        qWarning("uname: %s", std::strerror(errno));
    return buildSystemInfo(unameOk ? &u : nullptr, haveRelease ? &release : nullptr, info);
}

} // namespace WebUtils
