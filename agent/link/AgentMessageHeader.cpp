#include "AgentMessageHeader.h"

#include <QtEndian>

int AgentMessageHeader::write(char* buffer, int size) const
{
    if (!buffer || size < Size)
        return -1;
    buffer[0] = static_cast<char>(magic);
    qToLittleEndian<qint32>(id, buffer + 1);
    qToLittleEndian<qint32>(type, buffer + 5);
    qToLittleEndian<qint32>(length, buffer + 9);
    return Size;
}

int AgentMessageHeader::read(const char* buffer, int size)
{
    if (!buffer || size < Size)
        return -1;
    magic = static_cast<quint8>(buffer[0]);
    id = qFromLittleEndian<qint32>(buffer + 1);
    const qint32 wireType = qFromLittleEndian<qint32>(buffer + 5);
    type = (wireType >= 1 && wireType <= MaxType) ? wireType : 0;
    length = qFromLittleEndian<qint32>(buffer + 9);
    return Size;
}
