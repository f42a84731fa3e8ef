#pragma once
#include "engine/SResolveReqId.h"

#include <QSharedPointer>
#include <QString>

// One lookup waiting in the asynchronous resolver.
struct ResolveRequest
{
    SResolveReqId requestId = 0;
    bool addressFlag = false;   // true: text is an address to be turned into a name
    QString text;               // the host name or the address
    QString previousAnswer;     // what the caller knows already

    // "i" + text for an address lookup, "h" + text for a name lookup.
    QString key() const { return (addressFlag ? QStringLiteral("i") : QStringLiteral("h")) + text; }
};

using ResolveRequestPtr = QSharedPointer<ResolveRequest>;
