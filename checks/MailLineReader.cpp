#include "MailLineReader.h"

#include "CLineBuffer.h"
#include "CTimedSocket.h"

bool readMailLine(CTimedSocket& socket, std::string& line)
{
    const bool ok = socket.getline(false);
    line.assign(socket.line(), static_cast<size_t>(socket.lineLength()));
    if (!ok || line.size() < CLineBuffer::kLongLineCut)
        return ok;
    // a piece of the cut's size: the line goes on; read on to its last piece
    do {
        if (!socket.getline(false))
            return false;
    } while (static_cast<size_t>(socket.lineLength()) >= CLineBuffer::kLongLineCut);
    return true;
}
