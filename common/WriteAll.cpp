#include "WriteAll.h"

#include <cerrno>
#include <unistd.h>

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        // Bounded chunks: a single huge write may be cut short anyway.
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, qint64(1) << 20)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}
