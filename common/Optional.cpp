#include "Optional.h"

#include <QDebug>

void optionalWarnAbsent()
{
    qWarning("attempt to get null value from Optional<>");
}
