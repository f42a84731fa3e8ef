#include "common/Optional.h"

#include <QDebug>

void optionalWarnNoValue()
{
    qWarning("attempt to get null value from Optional<>");
}
