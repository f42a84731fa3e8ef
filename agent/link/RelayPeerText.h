#pragma once

#include <QByteArray>
#include <QString>

// The peer text of a relay open request: "host:port" in UTF-8, cut at the first zero byte,
// split at the last ":". The port must be a decimal number in 1..65535; a host in brackets
// ("[::1]:161") loses them. False when the text has no ":", an empty host or a bad port. Pure.
bool parseRelayPeerText(const QByteArray& text, QString& host, quint16& port);
