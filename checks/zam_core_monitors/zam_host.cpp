#include "zam_host.h"

std::atomic<ZamLogCallback> zamLogCb{nullptr};
std::atomic<ZamServiceDataCallback> zamSvcCb{nullptr};
std::atomic<ZamGetMemCallback> Get_Server_Memory{nullptr};

int zamLogMessage(int level, const char* text)
{
    const ZamLogCallback cb = zamLogCb.load();
    if (!cb || !text)
        return 0;
    return cb(level, text);
}

void* zamGetServiceData(const char* name)
{
    const ZamServiceDataCallback cb = zamSvcCb.load();
    if (!cb || !name)
        return nullptr;
    return cb(name);
}

void* zamGetServerMemory(stZamMonitor* monitor, unsigned size, int type)
{
    const ZamGetMemCallback cb = Get_Server_Memory.load();
    if (!cb)
        return nullptr;
    return cb(monitor, size, type);
}
