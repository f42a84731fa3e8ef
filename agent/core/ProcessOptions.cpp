#include "ProcessOptions.h"

std::atomic<bool> stopRequested{false};
std::atomic<int> scheduleDebugFlags{32};

QMap<int, int>& logCategories()
{
    static QMap<int, int> categories;
    return categories;
}
std::atomic<bool> logToStderr{true};
