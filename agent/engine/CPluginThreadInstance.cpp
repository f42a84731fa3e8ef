#include "CPluginThreadInstance.h"

#include <QtGlobal>
#include <stdexcept>

CPluginThreadInstance::CPluginThreadInstance(const CPluginLibraryPtr& library)
    : m_library(library)
{
    if (!m_library || m_library->initThread(&m_threadContext) != 0)
        throw std::runtime_error("cannot initialize plugin thread context");
}

CPluginThreadInstance::~CPluginThreadInstance()
{
    try {
        if (m_library->termThread(m_threadContext) != 0)
            qWarning("cannot terminate plugin thread context");
    } catch (const std::exception& e) {
        qWarning("cannot terminate plugin thread context: %s", e.what());
    } catch (...) {
        qWarning("cannot terminate plugin thread context");
    }
    m_threadContext = nullptr;
    m_library.reset();
}
