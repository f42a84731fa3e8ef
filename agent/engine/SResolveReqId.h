#pragma once

// Request id of a resolve request: the low 31 bits are the central service's request id; a
// value with the top bit set means that no request of the service waits for the answer.
using SResolveReqId = int;

// The id the plug-in's background lookups carry: only the top bit set.
constexpr SResolveReqId kResolveReqIdNoWaiter = static_cast<SResolveReqId>(0x80000000u);

// The service's own request id, top bit ignored.
inline int resolveServiceRequestId(SResolveReqId id)
{
    return id & 0x7fffffff;
}
