#pragma once
#include "common/Optional.h"

#include <QDataStream>
#include <QHostAddress>
#include <QString>
#include <QStringList>

// One entry of an IP address list: a host name (looked up once, cached) or an IPv4 range
// [first, last]; a single address is a range of one.
//
// Value type owned by its holder (a filter, the agent link). The only shared mutable part is
// the resolved-address cache, which is filled through a const entry: all reads and writes of
// that cache go through one process-wide mutex, and lookups are serialised so that an entry
// shared by several threads is looked up at most once.
class CIpAddressRange
{
public:
    CIpAddressRange();
    CIpAddressRange(const CIpAddressRange& other);
    CIpAddressRange& operator=(const CIpAddressRange& other);

    static CIpAddressRange fromHostName(const QString& name, const Optional<QHostAddress>& resolved);
    static CIpAddressRange fromRange(const QHostAddress& first, const QHostAddress& last);
    static CIpAddressRange fromRange(quint32 first, quint32 last);
    static CIpAddressRange localHost();
    static CIpAddressRange loopbackRange();

    bool isHostName() const;
    bool isRange() const;
    QString hostName() const;
    QHostAddress firstAddress() const;
    QHostAddress lastAddress() const;
    quint32 firstIPv4() const;
    quint32 lastIPv4() const;
    QString domainName() const;

    // Field 4 as it stands, without any lookup.
    Optional<QHostAddress> cachedAddress() const;
    // Field 4; for a host name not yet looked up, looks it up once (a failure caches a null
    // address). Unset for a range of more than one address.
    Optional<QHostAddress> resolvedAddress() const;
    // A range matches every IPv4 address inside it; a host name matches its resolved address.
    bool matchesAddress(const QHostAddress& address) const;
    bool isNetworkOrBroadcast() const;
    // 64 bits wide so that the whole IPv4 space (2^32 addresses) is counted exactly.
    quint64 addressCount() const;
    QString toString() const;

    // Removes and returns the first address (or the host name); see the stepping rules.
    CIpAddressRange takeFirst();

    friend bool operator==(const CIpAddressRange& a, const CIpAddressRange& b);
    friend bool operator<(const CIpAddressRange& a, const CIpAddressRange& b);
    friend QDataStream& operator<<(QDataStream& out, const CIpAddressRange& r);
    friend QDataStream& operator>>(QDataStream& in, CIpAddressRange& r);

private:
    Optional<QString> m_hostName;
    Optional<QHostAddress> m_first;
    Optional<QHostAddress> m_last;
    mutable Optional<QHostAddress> m_resolved; // guarded by the process-wide cache mutex
};

bool operator!=(const CIpAddressRange& a, const CIpAddressRange& b);

// Name lookup used for host-name entries: the first IPv4 address of the name, or a null
// address. Replaceable so that the shared web utilities can take over (and tests can count).
using IpAddressLookupFn = QHostAddress (*)(const QString& name);
QHostAddress lookupFirstIPv4(const QString& name);
// Installs another lookup (nullptr restores lookupFirstIPv4); returns the previous one.
IpAddressLookupFn setIpAddressLookup(IpAddressLookupFn fn);

// Splits a list text on runs of line breaks, commas and semicolons; empty items are skipped.
QStringList splitIpAddressList(const QString& text);

// Parses one item. On failure logs the warning "bad IP addr %1" or "bad IP mask %1", stores
// the same text in *errorText when given, and returns an unset optional.
Optional<CIpAddressRange> parseIpAddressRange(const QString& item, QString* errorText = nullptr);
