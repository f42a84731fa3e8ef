#include "common/IpAddressList.h"

#include <QBuffer>
#include <QDataStream>
#include <cstddef>
#include <cstdint>

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
QHostAddress noLookup(const QString&) { return QHostAddress(); }
} // namespace

// Splits and parses a list text, steps a little through each entry, and round-trips the
// stream form; also reads the raw bytes as a streamed entry.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool init = [] {
        qInstallMessageHandler(&quiet);
        setIpAddressLookup(&noLookup); // never touch the network while fuzzing
        return true;
    }();
    (void)init;

    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString text = QString::fromUtf8(bytes);
    for (const QString& item : splitIpAddressList(text)) {
        const Optional<CIpAddressRange> parsed = parseIpAddressRange(item);
        if (!parsed.hasValue())
            continue;
        CIpAddressRange r = parsed.rawValue();
        if (r.isRange() && r.firstIPv4() > r.lastIPv4())
            __builtin_trap();
        (void)r.toString();
        (void)r.domainName();
        (void)r.matchesAddress(QHostAddress(quint32(0x0a000001)));
        QByteArray stored;
        {
            QDataStream out(&stored, QIODevice::WriteOnly);
            out.setVersion(7);
            out << r;
        }
        CIpAddressRange back;
        QDataStream in(stored);
        in.setVersion(7);
        in >> back;
        if (!(back == r))
            __builtin_trap();
        for (int i = 0; i < 4 && (r.isRange() || r.isHostName()); ++i)
            (void)r.takeFirst();
    }

    QDataStream raw(bytes);
    raw.setVersion(7);
    CIpAddressRange fromBytes;
    raw >> fromBytes;
    (void)fromBytes.toString();
    (void)fromBytes.addressCount();
    (void)fromBytes.isNetworkOrBroadcast();
    return 0;
}
