#include "RelayPeerText.h"

bool parseRelayPeerText(const QByteArray& text, QString& host, quint16& port)
{
    host.clear();
    port = 0;
    const int zero = text.indexOf('\0');
    const QString peer = QString::fromUtf8(zero >= 0 ? text.left(zero) : text);
    const int colon = peer.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    const QString portText = peer.mid(colon + 1);
    if (portText.isEmpty() || portText.size() > 5)
        return false;
    for (const QChar c : portText)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    const int value = portText.toInt();
    if (value < 1 || value > 65535)
        return false;
    QString name = peer.left(colon);
    if (name.size() >= 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.trimmed().isEmpty())
        return false;
    host = name;
    port = quint16(value);
    return true;
}
