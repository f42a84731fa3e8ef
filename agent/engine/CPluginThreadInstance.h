#pragma once
#include "CPluginLibrary.h"

// One task thread's use of a loaded library: the library's thread context for that thread.
// It keeps the library loaded while it lives, and its thread context always ends before the
// library does. Threads: made and released on its task thread (or by the plug-in manager when
// the thread gives its instances back).
class CPluginThreadInstance : public QSharedData
{
public:
    // Throws std::runtime_error "cannot initialize plugin thread context".
    explicit CPluginThreadInstance(const CPluginLibraryPtr& library);
    ~CPluginThreadInstance();
    CPluginThreadInstance(const CPluginThreadInstance&) = delete;
    CPluginThreadInstance& operator=(const CPluginThreadInstance&) = delete;

    CPluginLibrary* library() const { return m_library.data(); }
    const CPluginLibraryPtr& libraryRef() const { return m_library; }
    stCoreZamThreadContext* threadContext() const { return m_threadContext; }

    int poll(stZamMonitor* monitor, const QString& monitorName)
    {
        return m_library->poll(m_threadContext, monitor, monitorName);
    }
    int invalidateMonitorCache(stZamMonitor* monitor, unsigned flags, const QString& monitorName)
    {
        return m_library->invalidateMonitorCache(m_threadContext, monitor, flags, monitorName);
    }

private:
    CPluginLibraryPtr m_library;
    stCoreZamThreadContext* m_threadContext = nullptr;
};

using CPluginThreadInstancePtr = QExplicitlySharedDataPointer<CPluginThreadInstance>;
