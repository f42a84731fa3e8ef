#include "Debug.h"

#include <QMessageLogger>

namespace Debug {
void warning(const char* text)
{
    QMessageLogger(nullptr, 0, nullptr).warning("%s", text ? text : "");
}
}
