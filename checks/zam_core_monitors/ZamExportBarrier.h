#pragma once
// The edge of every export: no C++ exception leaves the library through an extern "C" function.
// A call that throws answers its failure value; a monitor it was working on ends failed with the
// exception's text as its reason, like any other failure of a check. Thread cancellation (a
// forced unwind) still passes, as it must. Stateless; runs on the calling thread.

#include "zam_plugin_api.h"

#include <cxxabi.h>
#include <exception>
#include <string>

// Writes the reason into the record (result code none, log line at error level).
void zamFailMonitorOnException(stZamMonitor* mon, const char* exportName, const char* text);

// Runs call() and answers its value; an exception becomes `failed` and, when mon is given, the
// monitor's failure with the exception's text ("unknown exception" for a non-standard one).
// afterException() then runs (itself barred) to drop what the check may have left half-built.
template <class R, class Call, class After>
R zamExportBarrier(const char* exportName, stZamMonitor* mon, R failed, Call&& call, After&& afterException)
{
    try {
        return call();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (const std::exception& e) {
        zamFailMonitorOnException(mon, exportName, e.what());
    } catch (...) {
        zamFailMonitorOnException(mon, exportName, "unknown exception");
    }
    try {
        afterException();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
    }
    return failed;
}

template <class R, class Call>
R zamExportBarrier(const char* exportName, stZamMonitor* mon, R failed, Call&& call)
{
    return zamExportBarrier(exportName, mon, failed, call, [] {});
}

// The same for the exports that answer nothing.
template <class Call>
void zamExportBarrierVoid(const char* exportName, stZamMonitor* mon, Call&& call)
{
    zamExportBarrier(exportName, mon, 0, [&] {
        call();
        return 0;
    });
}
