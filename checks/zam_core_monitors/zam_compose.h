#pragma once
// Result sections and discovered monitors, written through the host's callbacks on the polling
// thread. Composition throws std::runtime_error when the host gives no memory.

#include "CZamNewMonitorSetting.h"
#include "zam_plugin_api.h"

#include <QMap>
#include <QString>
#include <cstdint>

void* compose_zam_memory(stZamMonitor* mon, const void* data, unsigned length, int type);
void compose_INT64_PERFVAL(stZamMonitor* mon, int64_t value);
void compose_MEASURE_UNIT(stZamMonitor* mon, const char* text);
void compose_INT64_PERFVAL_MEASURE_UNIT(stZamMonitor* mon, int64_t value, const char* text);
void compose_UTF8_DISPLAY_VALUE(stZamMonitor* mon, const char* text);
void compose_zam_memsect_entity_table(stZamMonitor* mon, const char* text, int type);

void addNewMonitor(stZamMonitor* mon, const QString& typeName, const QString& name,
                   const QMap<QString, CZamNewMonitorSetting>& settings);
QString truncateInterfaceName(const QString& name);
