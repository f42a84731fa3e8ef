#pragma once

#include <QtGlobal>

// The fixed 13-byte head of every agent-link frame: magic, id, type, body length,
// integers little-endian on the wire.
struct AgentMessageHeader
{
    static constexpr int Size = 13;
    static constexpr quint8 Magic = 0xEA;
    static constexpr qint32 MaxType = 36;

    quint8 magic = Magic;
    qint32 id = -1;
    qint32 type = 0;
    qint32 length = 0;

    // Writes the 13 header bytes; -1 (nothing written) when size is 12 or less.
    int write(char* buffer, int size) const;
    // Fills the fields from 13 bytes; a type outside 1..36 is stored as 0. The magic
    // is not checked here (the frame cutter does that). -1 when size is 12 or less.
    int read(const char* buffer, int size);
};
