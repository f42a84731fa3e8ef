#include "Version.h"

QString commitId()
{
    return QStringLiteral("fce1bf668");
}
