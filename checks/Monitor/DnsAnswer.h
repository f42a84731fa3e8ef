#pragma once
// The values of one DNS reply, read record by record from the wire bytes: the answer records of
// the wanted types become texts (addresses, names, an SOA serial), sorted by bytes without
// duplicates. A pure function of the bytes: it never reads outside them and never throws;
// a malformed record ends the reading and the values found before it stay.

#include <cstddef>
#include <string>
#include <vector>

struct DnsAnswer {
    std::vector<std::string> values;  // sorted ascending by bytes, unique
    std::vector<std::string> notes;   // what the reader met on the way, for the monitor's log
};

// Record types the check asks for or collects.
enum DnsRecordType {
    kDnsTypeA = 1,
    kDnsTypeNS = 2,
    kDnsTypeSOA = 6,
    kDnsTypeMX = 15,
    kDnsTypeAAAA = 28,
};

// wantedType and secondWantedType (-1: none) pick the answer records whose values are kept.
DnsAnswer parseDnsAnswer(const unsigned char* reply, size_t length, int wantedType, int secondWantedType);

// The name at `pos` as text (labels joined by ".", "." and "\" escaped, unprintable bytes as
// \DDD, the root as the empty text). Compression pointers must point backwards, so every name
// ends. False when the name is malformed or leaves the reply; `next` is the position after the
// name's own bytes.
bool readDnsName(const unsigned char* reply, size_t length, size_t pos, std::string* name, size_t* next);
