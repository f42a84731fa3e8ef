#pragma once
// ICMP echo messages of the ping check: building a request and judging a received IPv4
// datagram. Pure functions over bytes; any thread.

#include <QString>
#include <cstddef>
#include <cstdint>

// Internet checksum (RFC 1071): 16-bit words in memory order, an odd last byte added.
uint16_t in_cksum(const uint16_t* words, int length);

// An echo request of 8 + size bytes (size even): identifier and sequence in host order, the
// time stamp, then the destination address (network order) in every whole 4-byte word.
void buildEchoRequest(unsigned char* packet, int size, uint32_t destination, uint16_t identifier, uint16_t sequence,
                      uint32_t timeStamp);

// Empty when the datagram (IPv4 header included) is the echo reply to that request, else the
// log line saying why not. Only type 0, code 0 with a sound checksum is a reply: a raw socket
// on loopback also receives the request itself.
QString checkEchoReply(const unsigned char* packet, size_t length, int size, uint32_t destination,
                       uint16_t identifier, uint16_t sequence, uint32_t sentTime);
