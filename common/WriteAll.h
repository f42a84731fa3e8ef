#pragma once
#include <QtGlobal>

// Writes every byte to a file descriptor, going on after EINTR and short writes; false on
// any other error (errno tells which).
bool writeAll(int fd, const char* data, qint64 size);
