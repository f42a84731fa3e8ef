#pragma once

#include "Optional.h"
#include "SHostRec.h"

#include <QByteArray>
#include <QHostAddress>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QNetworkReply>
#include <QPair>
#include <QString>
#include <QStringList>

struct utsname;

// Host, address and URL helpers shared by the daemon and the checks library. IPv4 only.
// None of the functions throws.
//
// Locking: g_webUtilsMutex (not recursive) guards g_timedOutAddresses and the local host name
// cache and is only ever held for short, non-blocking sections; no lookup runs under it.
// getLocalhostName additionally serialises its own resolving path with a private mutex taken
// before g_webUtilsMutex (never the reverse), so concurrent callers do not repeat the lookups.
namespace WebUtils {

extern QStringList g_timedOutAddresses;   // addresses whose last reverse lookup took >= 1000 ms
extern QMutex g_webUtilsMutex;
extern const QHostAddress g_linkLocalAddresses;   // 169.254.0.0, prefix 16

struct SSystemInfo
{
    QString architecture;   // uname machine
    QString systemName;     // uname system name
    QString prettyName;     // PRETTY_NAME of /etc/os-release, "Unknown" when missing
};

struct SParsedUrlRec
{
    QString userName;
    QString password;
    QString url;
    QString host;
    bool secure = false;
    int port = 0;
    QString tail;
};

enum EWebServerMode { WebServerHttp = 0, WebServerHttps = 1 };

bool areSameIps(const QString& a, const QString& b);
Optional<QString> canonicalizeIp(const Optional<QString>& ip);
bool hostnameContainsDomain(const QString& host);
QString mergeHostnameWithDomain(const QString& host, const QString& domain);
bool areSameHostnames(const QString& a, const QString& b, const QString& domain);
bool areSameHosts(const SHostRec& lhs, const SHostRec& rhs, bool compareAddresses, bool compareNames,
                  bool compareFlag, const QStringList& addressList, const QString& domain);

bool parseUrl(const QString& text, SParsedUrlRec& out, bool ftpExpected);
// Whether a TCP socket can be bound to the address and port (with SO_REUSEADDR, as the
// listening servers use it). Errors: "invalid socket", "can not bind socket to port".
bool checkServerPort(const QHostAddress& address, int port, QString& error);
void updateIdnWhitelist();
QString defaultWwwHost();
QPair<QString, QString> stringToHeader(const QString& line);
QString makeWebServerUrl(EWebServerMode mode, const QString& host, int port);
QString clearLFAndTrim(QString text);
bool isActualNetworkError(QNetworkReply::NetworkError code);
void networkReplyErrToStr(QNetworkReply::NetworkError code, QString& text);
QString jsonToString(const QJsonValue& value);

QList<QHostAddress> getAllAddrsByHostname(const QString& host);
bool canResolveHostnameToIp(const QString& host);
QList<QHostAddress> getOrResolveAllAddrs(const QString& hostOrAddress, bool& isAddress, QByteArray& error);
QHostAddress getOrResolveFirstAddr(const QString& hostOrAddress, bool& isAddress, QByteArray& error);
QHostAddress getFirstAddrByHostname(const QString& host);
QString getIpByHostname(const QString& host, const QString& preferred);
// The choice getIpByHostname makes: the preferred text when listed, else the first address not
// marked slow, else the first address; empty for no address. Pure.
QString chooseAddress(const QList<QHostAddress>& addresses, const QString& preferred,
                      const QStringList& slowAddresses);
QStringList getLocalAddresses();
// Reverse lookup (reentrant resolver call); records the time it took (see refreshTimedOutAddresses),
// taking g_webUtilsMutex for that step when `lock` is true.
QString getHostnameByIp(const QString& address, const QString& preferred, bool lock = true);
QString getLocalhostName(bool resolve);

// The system call behind getHostnameByIp: official name and aliases of an IPv4 address (host
// byte order); false when there is no answer. Replaceable (null restores the system's) so that
// slow or failing resolvers can be simulated; must be thread-safe.
using ReverseLookupFn = bool (*)(quint32 ipv4, QByteArray* officialName, QList<QByteArray>* aliases);
void setReverseLookup(ReverseLookupFn fn);
// The monotonic milliseconds getHostnameByIp times a lookup with. Replaceable (null restores
// the steady clock) so that a simulated slow resolver needs no real waiting; must be
// thread-safe.
using MonotonicMsFn = qint64 (*)();
void setLookupClock(MonotonicMsFn fn);
// The first alias equal to the preferred name, else the official name, else the last alias
// (all converted from their ASCII-compatible form). Pure.
QString chooseHostName(const QByteArray& officialName, const QList<QByteArray>& aliases, const QString& preferred);
bool isValidIp(const QString& text, bool partial);
bool isValidHostName(const QString& text);
QStringList textToHeadersList(const QString& text, bool mend);

// Fills the record from uname and /etc/os-release. False (fields "Unknown") when uname fails.
bool getSystemInfo(SSystemInfo& info);
// The record from a uname answer (null when uname failed: fields "Unknown", result false) and
// the os-release text (null when unreadable). Pure.
bool buildSystemInfo(const struct utsname* u, const QByteArray* osRelease, SSystemInfo& info);
// Key/value pairs of an os-release text (comments, blank lines and lines without "=" skipped,
// one pair of enclosing quotes removed, later keys win). Pure.
QMap<QString, QString> parseOsRelease(const QByteArray& text);

// Caller holds g_webUtilsMutex: >= 1000 ms marks the address slow, <= 999 ms clears it.
void refreshTimedOutAddresses(const QString& address, qint64 elapsedMs);
bool _isValidIp(const QString& text, bool checkRanges, bool partial);

} // namespace WebUtils
