#pragma once
// The three host callbacks as the library stores them. Registered while no poll runs; read by
// every polling thread afterwards, so the globals are atomics.

#include "zam_plugin_api.h"

#include <atomic>

extern std::atomic<ZamLogCallback> zamLogCb;
extern std::atomic<ZamServiceDataCallback> zamSvcCb;
extern std::atomic<ZamGetMemCallback> Get_Server_Memory;

// Calls the log sink; 0 without one.
int zamLogMessage(int level, const char* text);
// The host's answer for a service name, or null.
void* zamGetServiceData(const char* name);
// Data area of a new result section, or null.
void* zamGetServerMemory(stZamMonitor* monitor, unsigned size, int type);
