#include "CHttpPerformance.h"

void CHttpPerformance::resetPerfInfo()
{
    totalTime = nameLookupTime = connectTime = appConnectTime = 0;
    preTransferTime = startTransferTime = redirectTime = 0;
}
