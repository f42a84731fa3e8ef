#pragma once
// Timing values of one HTTP transfer as libcurl reports them; plain data of the request
// that fills them, on its thread.

// Timing points of the last transfer, seconds.
class CHttpPerformance
{
public:
    virtual ~CHttpPerformance() = default;
    void resetPerfInfo();

    double totalTime = 0;
    double nameLookupTime = 0;
    double connectTime = 0;
    double appConnectTime = 0;
    double preTransferTime = 0;
    double startTransferTime = 0;
    double redirectTime = 0;
};
