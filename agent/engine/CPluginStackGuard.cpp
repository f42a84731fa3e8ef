#include "CPluginStackGuard.h"

#include <QtGlobal>

namespace {
struct Pattern
{
    unsigned char bytes[CPluginStackGuard::kSize];
    Pattern()
    {
        for (int i = 0; i < CPluginStackGuard::kSize; ++i)
            bytes[i] = static_cast<unsigned char>(i);
    }
};
}

const unsigned char* CPluginStackGuard::referencePattern()
{
    static const Pattern pattern;
    return pattern.bytes;
}

QString CPluginStackGuard::labelText() const
{
    const QString label = QString::fromLatin1(m_label);
    return m_arg ? label.arg(*m_arg) : label;
}

void CPluginStackGuard::reportDamage() const
{
    // One warning per call, however many bytes differ.
    qWarning("stack damage detected in %s", qPrintable(labelText()));
}
