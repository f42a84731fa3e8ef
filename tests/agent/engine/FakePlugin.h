#pragma once
// The stand-in libraries built beside these tests, and a view of a loaded one's counters.

#include "checks/zam_core_monitors/zam_plugin_api.h"

#include <QString>
#include <dlfcn.h>

struct FakeState {
    int initCount;
    int termCount;
    int initThreadCount;
    int termThreadCount;
    int pollCount;
    int invalidateCount;
    unsigned lastInvalidateFlags;
    int pollMode;
    int damageGetCount;
    int supportedAnswer;
    int termAnswer;
    ZamLogCallback log;
    ZamServiceDataCallback services;
    ZamGetMemCallback memory;
    int servicesRegisteredBeforeInit;
    int logRegisteredBeforeInit;
    int memoryRegisteredBeforeInit;
    int termThreadsAtTerm;
    int initThreadAnswer;
};

inline QString fakePluginPath(const char* variant)
{
    return QStringLiteral(ZAM_FAKE_PLUGIN_DIR "/libfake_plugin_%1.so").arg(QString::fromLatin1(variant));
}

// True while some holder keeps the file loaded.
inline bool isLoaded(const QString& path)
{
    void* h = dlopen(path.toLatin1().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

// Counters of a loaded fake (null when it is not loaded). Valid while it stays loaded.
inline FakeState* fakeState(const QString& path)
{
    void* h = dlopen(path.toLatin1().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return nullptr;
    auto fn = reinterpret_cast<FakeState* (*)()>(dlsym(h, "fake_state"));
    dlclose(h);
    return fn ? fn() : nullptr;
}

// A monitor record whose result buffer the daemon's result-memory callback can reach.
struct TestMonitorRecord {
    stZamMonitor mon{};
    QByteArray sections;
    static QByteArray* buffer(stZamMonitor* monitor)
    {
        return &reinterpret_cast<TestMonitorRecord*>(monitor)->sections;
    }
};
