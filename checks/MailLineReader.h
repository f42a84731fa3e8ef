#pragma once
// Reply lines of the mail protocols from a timed socket. A line longer than the socket hands
// out at once comes back as its first piece; the rest of it is read and dropped, so that it is
// never taken for the next reply. Works on the caller's socket, on the caller's thread.

#include <string>

class CTimedSocket;

// True with the line; false as CTimedSocket::getline fails (line then holds what the socket
// kept of a partial answer).
bool readMailLine(CTimedSocket& socket, std::string& line);
