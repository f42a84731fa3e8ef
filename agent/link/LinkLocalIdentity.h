#pragma once
#include <QString>

// What a session tells the service about this host when it identifies itself.
struct SLinkLocalIdentity
{
    QString hostName;   // "localhost" when unknown
    QString address;    // "127.0.0.1" when unknown
    QString domain;     // the host name without its first label
    QString addresses;  // the local addresses joined with "\n"
    QString ipRange;    // the loopback range as text
};

SLinkLocalIdentity linkLocalIdentity();
