#include "common/IpAddressList.h"

#include <QDebug>
#include <QHostInfo>
#include <QRegExp>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>

namespace {

// Guards every entry's resolved-address field (short holds only).
std::mutex& cacheMutex()
{
    static std::mutex m;
    return m;
}

// Held across a lookup so that a shared entry is looked up once, not once per thread.
std::mutex& lookupMutex()
{
    static std::mutex m;
    return m;
}

std::atomic<IpAddressLookupFn> g_lookup{&lookupFirstIPv4};

bool isIPv4(const QHostAddress& a)
{
    return a.protocol() == QAbstractSocket::IPv4Protocol;
}

// Strict order of two addresses: IPv4 as numbers, anything else by text.
bool addressLess(const QHostAddress& a, const QHostAddress& b)
{
    if (isIPv4(a) && isIPv4(b))
        return a.toIPv4Address() < b.toIPv4Address();
    return a.toString() < b.toString();
}

// Reverse lookup of an address; empty when nothing is known.
QString reverseName(const QHostAddress& address)
{
    if (!isIPv4(address))
        return QString();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address.toIPv4Address());
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return QString();
    return QString::fromUtf8(host);
}

Optional<CIpAddressRange> refuse(const QString& format, const QString& arg, QString* errorText)
{
    const QString text = format.arg(arg);
    qWarning("%s", qUtf8Printable(text));
    if (errorText)
        *errorText = text;
    return Optional<CIpAddressRange>();
}

// A captured dotted quad read as four decimal octets. QHostAddress would read "010" as
// octal (010.0.0.1 as 8.0.0.1); an address list written by a person means decimal.
bool dottedDecimal(const QString& text, QHostAddress* out)
{
    const QVector<QStringRef> octets = text.splitRef(QLatin1Char('.'));
    if (octets.size() != 4)
        return false;
    quint32 value = 0;
    for (const QStringRef& octet : octets) {
        bool ok = false;
        const uint v = octet.toUInt(&ok, 10);
        if (!ok || v > 255)
            return false;
        value = (value << 8) | v;
    }
    out->setAddress(value);
    return true;
}

} // namespace

QHostAddress lookupFirstIPv4(const QString& name)
{
    const QByteArray host = name.toUtf8();
    if (host.isEmpty() || host.contains('\0'))
        return QHostAddress();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &res) != 0 || !res)
        return QHostAddress();
    QHostAddress found;
    for (addrinfo* p = res; p; p = p->ai_next) {
        if (p->ai_family == AF_INET && p->ai_addr) {
            found = QHostAddress(ntohl(reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr));
            break;
        }
    }
    freeaddrinfo(res);
    return found;
}

IpAddressLookupFn setIpAddressLookup(IpAddressLookupFn fn)
{
    return g_lookup.exchange(fn ? fn : &lookupFirstIPv4);
}

CIpAddressRange::CIpAddressRange() = default;

CIpAddressRange::CIpAddressRange(const CIpAddressRange& other)
    : m_hostName(other.m_hostName), m_first(other.m_first), m_last(other.m_last)
{
    std::lock_guard<std::mutex> lock(cacheMutex());
    m_resolved = other.m_resolved;
}

CIpAddressRange& CIpAddressRange::operator=(const CIpAddressRange& other)
{
    if (this == &other)
        return *this;
    m_hostName = other.m_hostName;
    m_first = other.m_first;
    m_last = other.m_last;
    std::lock_guard<std::mutex> lock(cacheMutex());
    m_resolved = other.m_resolved;
    return *this;
}

CIpAddressRange CIpAddressRange::fromHostName(const QString& name, const Optional<QHostAddress>& resolved)
{
    CIpAddressRange r;
    r.m_hostName.set(name.toLower());
    r.m_resolved = resolved;
    return r;
}

CIpAddressRange CIpAddressRange::fromRange(const QHostAddress& first, const QHostAddress& last)
{
    CIpAddressRange r;
    r.m_first.set(first);
    r.m_last.set(last);
    if (first == last)
        r.m_resolved.set(first);
    return r;
}

CIpAddressRange CIpAddressRange::fromRange(quint32 first, quint32 last)
{
    return fromRange(QHostAddress(first), QHostAddress(last));
}

CIpAddressRange CIpAddressRange::localHost()
{
    const QString localName = QHostInfo::localHostName();
    QHostAddress address = g_lookup.load()(localName);
    if (address.isNull())
        address.setAddress(localName); // the name may itself be an address text
    QString name = reverseName(address);
    if (name.isEmpty())
        name = localName;
    return fromHostName(name, Optional<QHostAddress>(address));
}

CIpAddressRange CIpAddressRange::loopbackRange()
{
    return fromRange(QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("127.0.0.1")));
}

bool CIpAddressRange::isHostName() const
{
    return m_hostName.hasValue();
}

bool CIpAddressRange::isRange() const
{
    return m_first.hasValue() && m_last.hasValue();
}

QString CIpAddressRange::hostName() const
{
    return m_hostName.value();
}

QHostAddress CIpAddressRange::firstAddress() const
{
    return m_first.value();
}

QHostAddress CIpAddressRange::lastAddress() const
{
    return m_last.value();
}

quint32 CIpAddressRange::firstIPv4() const
{
    return m_first.value().toIPv4Address();
}

quint32 CIpAddressRange::lastIPv4() const
{
    return m_last.value().toIPv4Address();
}

QString CIpAddressRange::domainName() const
{
    if (!isHostName())
        return QString();
    QString name = m_hostName.rawValue();
    if (!name.contains(QLatin1Char('.')))
        return QString();
    return name.remove(QRegExp(QStringLiteral("^[^.]*")));
}

Optional<QHostAddress> CIpAddressRange::cachedAddress() const
{
    std::lock_guard<std::mutex> lock(cacheMutex());
    return m_resolved;
}

Optional<QHostAddress> CIpAddressRange::resolvedAddress() const
{
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        if (m_resolved.hasValue())
            return m_resolved;
        if (isRange() || !isHostName())
            return Optional<QHostAddress>();
    }
    std::lock_guard<std::mutex> once(lookupMutex());
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        if (m_resolved.hasValue()) // another thread finished the lookup meanwhile
            return m_resolved;
    }
    const QHostAddress found = g_lookup.load()(m_hostName.rawValue());
    std::lock_guard<std::mutex> lock(cacheMutex());
    m_resolved.set(found);
    return m_resolved;
}

bool CIpAddressRange::matchesAddress(const QHostAddress& address) const
{
    if (isRange()) {
        const QHostAddress& first = m_first.rawValue();
        const QHostAddress& last = m_last.rawValue();
        bool ok = false;
        const quint32 a = address.toIPv4Address(&ok); // also takes ::ffff:a.b.c.d
        if (ok && isIPv4(first) && isIPv4(last))
            return first.toIPv4Address() <= a && a <= last.toIPv4Address();
        if (first == last)
            return first == address;
        return false;
    }
    const Optional<QHostAddress> resolved = resolvedAddress();
    if (!resolved.hasValue())
        return false;
    if (resolved.rawValue() == address)
        return true;
    bool ok1 = false, ok2 = false;
    const quint32 a = resolved.rawValue().toIPv4Address(&ok1);
    const quint32 b = address.toIPv4Address(&ok2);
    return ok1 && ok2 && a == b;
}

bool CIpAddressRange::isNetworkOrBroadcast() const
{
    if (!isRange())
        return false;
    const quint32 low = m_first.rawValue().toIPv4Address() & 0xFF;
    return low == 0 || low == 255;
}

quint64 CIpAddressRange::addressCount() const
{
    if (isHostName())
        return 1;
    if (isRange()) {
        const quint32 first = m_first.rawValue().toIPv4Address();
        const quint32 last = m_last.rawValue().toIPv4Address();
        return last < first ? 0 : quint64(last) - first + 1;
    }
    return 0;
}

QString CIpAddressRange::toString() const
{
    if (isHostName())
        return m_hostName.rawValue();
    if (isRange()) {
        if (m_first.rawValue().toIPv4Address() == m_last.rawValue().toIPv4Address())
            return m_first.rawValue().toString();
        return QStringLiteral("%1-%2").arg(m_first.rawValue().toString(), m_last.rawValue().toString());
    }
    return QStringLiteral("bad range");
}

CIpAddressRange CIpAddressRange::takeFirst()
{
    if (isHostName()) {
        CIpAddressRange taken = fromHostName(m_hostName.rawValue(), cachedAddress());
        m_hostName.reset();
        {
            std::lock_guard<std::mutex> lock(cacheMutex());
            m_resolved.reset();
        }
        return taken;
    }
    if (isRange()) {
        const quint32 f = m_first.rawValue().toIPv4Address();
        const quint32 l = m_last.rawValue().toIPv4Address();
        // A reversed range (never made by the parser) ends here too rather than wrapping.
        if (f >= l) {
            m_first.reset();
            m_last.reset();
        } else {
            m_first.set(QHostAddress(f + 1));
        }
        return fromRange(f, f);
    }
    return *this;
}

bool operator==(const CIpAddressRange& a, const CIpAddressRange& b)
{
    return a.m_hostName == b.m_hostName && a.m_first == b.m_first && a.m_last == b.m_last;
}

bool operator!=(const CIpAddressRange& a, const CIpAddressRange& b)
{
    return !(a == b);
}

bool operator<(const CIpAddressRange& a, const CIpAddressRange& b)
{
    const bool ar = a.isRange(), br = b.isRange();
    if (ar && br) {
        if (addressLess(a.m_first.rawValue(), b.m_first.rawValue()))
            return true;
        if (a.m_first != b.m_first)
            return false;
        return addressLess(a.m_last.rawValue(), b.m_last.rawValue());
    }
    if (ar)
        return true;
    if (!br && a.isHostName() && b.isHostName())
        return a.m_hostName.rawValue() < b.m_hostName.rawValue();
    return false;
}

QDataStream& operator<<(QDataStream& out, const CIpAddressRange& r)
{
    out << r.m_hostName << r.m_first << r.m_last << r.cachedAddress();
    return out;
}

QDataStream& operator>>(QDataStream& in, CIpAddressRange& r)
{
    Optional<QHostAddress> resolved;
    in >> r.m_hostName >> r.m_first >> r.m_last >> resolved;
    std::lock_guard<std::mutex> lock(cacheMutex());
    r.m_resolved = resolved;
    return in;
}

QStringList splitIpAddressList(const QString& text)
{
    static const QRegExp separators(QStringLiteral("\\s*(\\n|\\r|[,;])+\\s*"));
    QRegExp re(separators); // QRegExp keeps match state; use a private copy per call
    return text.split(re, Qt::SkipEmptyParts);
}

Optional<CIpAddressRange> parseIpAddressRange(const QString& item, QString* errorText)
{
    static const QString a = QStringLiteral("([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)");
    static const QRegExp rangeProto(QStringLiteral("\\s*(%1)\\s*-\\s*(%2)\\s*").arg(a, a));
    static const QRegExp maskProto(QStringLiteral("\\s*(%1)\\s*/\\s*(%2)\\s*").arg(a, a));
    static const QRegExp prefixProto(QStringLiteral("\\s*(%1)\\s*/\\s*(%2)\\s*").arg(a, QStringLiteral("[0-9]+")));
    static const QRegExp singleProto(QStringLiteral("\\s*(%1)\\s*").arg(a));
    const QString badAddr = QStringLiteral("bad IP addr %1");
    const QString badMask = QStringLiteral("bad IP mask %1");

    QRegExp range(rangeProto);
    if (range.exactMatch(item)) {
        QHostAddress first, last;
        if (!dottedDecimal(range.cap(1), &first))
            return refuse(badAddr, range.cap(1), errorText);
        if (!dottedDecimal(range.cap(6), &last))
            return refuse(badAddr, range.cap(6), errorText);
        if (last.toIPv4Address() < first.toIPv4Address())
            std::swap(first, last);
        return CIpAddressRange::fromRange(first, last);
    }

    QRegExp mask(maskProto);
    if (mask.exactMatch(item)) {
        QHostAddress address, maskAddress;
        if (!dottedDecimal(mask.cap(1), &address))
            return refuse(badAddr, mask.cap(1), errorText);
        if (!dottedDecimal(mask.cap(6), &maskAddress))
            return refuse(badMask, mask.cap(6), errorText);
        const quint32 m = maskAddress.toIPv4Address();
        if (m == 0)
            return CIpAddressRange::fromRange(0u, 0xFFFFFFFFu);
        int low = 0;
        while (!(m & (1u << low)))
            ++low;
        if (m != (0xFFFFFFFFu << low))
            return refuse(badMask, mask.cap(6), errorText);
        if (low == 0)
            return CIpAddressRange::fromRange(address, address);
        const quint32 host = 0xFFFFFFFFu >> (32 - low);
        const quint32 v = address.toIPv4Address();
        return CIpAddressRange::fromRange(v & ~host, v | host);
    }

    QRegExp prefix(prefixProto);
    if (prefix.exactMatch(item)) {
        QHostAddress address;
        if (!dottedDecimal(prefix.cap(1), &address))
            return refuse(badAddr, prefix.cap(1), errorText);
        bool ok = false;
        const qulonglong n = prefix.cap(6).toULongLong(&ok);
        if (!ok || n > 32)
            return refuse(badMask, prefix.cap(6), errorText);
        if (n == 32)
            return CIpAddressRange::fromRange(address, address);
        const quint32 host = quint32(quint64(0xFFFFFFFFu) >> n);
        const quint32 v = address.toIPv4Address();
        return CIpAddressRange::fromRange(v & ~host, v | host);
    }

    QRegExp single(singleProto);
    if (single.exactMatch(item)) {
        QHostAddress address;
        if (!dottedDecimal(single.cap(1), &address))
            return refuse(badAddr, single.cap(1), errorText);
        return CIpAddressRange::fromRange(address, address);
    }

    return CIpAddressRange::fromHostName(item, Optional<QHostAddress>());
}
