// Arbitrary bytes as a DNS reply: the first byte picks the wanted record type, the rest is the
// reply. Whatever arrives, the reader stays inside it and keeps its values sorted and unique.

#include "Monitor/DnsAnswer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const int kWanted[] = {kDnsTypeA, kDnsTypeNS, kDnsTypeSOA, kDnsTypeMX, kDnsTypeAAAA, 5};
    const int wanted = kWanted[data[0] % (sizeof kWanted / sizeof kWanted[0])];
    const DnsAnswer answer = parseDnsAnswer(data + 1, size - 1, wanted, wanted == kDnsTypeA ? kDnsTypeAAAA : -1);
    for (size_t i = 1; i < answer.values.size(); ++i)
        if (!(answer.values[i - 1] < answer.values[i]))
            abort();
    return 0;
}
