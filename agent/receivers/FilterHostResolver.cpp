#include "FilterHostResolver.h"

#include "common/IpAddressList.h"
#include "common/WebUtils.h"

#include <QMutexLocker>
#include <QStringList>

namespace {

QList<QHostAddress> lookUpAllIPv4(const QString& name)
{
    bool isAddress = false;
    QByteArray error;
    return WebUtils::getOrResolveAllAddrs(name, isAddress, error);
}

QList<QHostAddress> onlyIPv4(const QList<QHostAddress>& in)
{
    QList<QHostAddress> out;
    for (const QHostAddress& a : in)
        if (!a.isNull() && a.protocol() == QAbstractSocket::IPv4Protocol)
            out.append(a);
    return out;
}

} // namespace

FilterHostResolver::FilterHostResolver() : m_fn(lookUpAllIPv4) {}

void FilterHostResolver::setLookup(const LookupFn& fn)
{
    QMutexLocker locker(&m_mutex);
    m_fn = fn ? fn : LookupFn(lookUpAllIPv4);
    m_cache.clear();
}

void FilterHostResolver::setTimeoutMs(int ms)
{
    QMutexLocker locker(&m_mutex);
    m_timeoutMs = ms;
}

void FilterHostResolver::setTtlMs(qint64 answerMs, qint64 failureMs)
{
    QMutexLocker locker(&m_mutex);
    m_answerTtlMs = answerMs;
    m_failureTtlMs = failureMs;
    m_cache.clear();
}

QList<QHostAddress> FilterHostResolver::resolve(const CIpAddressRange& host, qint64 nowMs)
{
    if (host.isRange()) {
        if (host.firstAddress() != host.lastAddress())
            return {};
        return onlyIPv4({host.firstAddress()});
    }
    if (!host.isHostName())
        return {};
    const QString name = host.hostName();
    if (name.isEmpty())
        return {};
    QHostAddress literal;
    if (literal.setAddress(name))
        return onlyIPv4({literal});

    QMutexLocker locker(&m_mutex);
    auto it = m_cache.find(name);
    if (it != m_cache.end() && it->expiresMs > nowMs)
        return it->addresses;

    const LookupFn fn = m_fn;
    QString answer;
    const CBoundedLookup::Outcome outcome = m_lookup.run(
        [fn, name] {
            QStringList texts;
            for (const QHostAddress& a : fn(name))
                texts.append(a.toString());
            return texts.join(QLatin1Char(','));
        },
        m_timeoutMs, answer);
    QList<QHostAddress> found;
    if (outcome == CBoundedLookup::Answered) {
        for (const QString& text : answer.split(QLatin1Char(','), Qt::SkipEmptyParts))
            found.append(QHostAddress(text));
        found = onlyIPv4(found);
    } else {
        qWarning("syslog and trap filters: no address for %s within %d ms", qUtf8Printable(name), m_timeoutMs);
    }
    if (m_cache.size() >= kMaxCachedNames)
        m_cache.clear();
    m_cache.insert(name, Entry{found, nowMs + (found.isEmpty() ? m_failureTtlMs : m_answerTtlMs)});
    return found;
}
