#pragma once
#include "zam_plugin_api.h"

#include <QByteArray>

// The result-memory callback the daemon registers with the checks library, and the result
// buffer behind it. Each request appends one section to the record's buffer: 32-bit length
// (a multiple of 16), 32-bit type, the data, zeroed padding and a tail byte of padding + 9.
// The record type of the daemon tells where a record keeps its buffer by installing an
// accessor; without one (or for a null record) the callback answers null.
// Threads: runs on the task thread that polls the record; takes no lock.

using PluginResultBufferAccessor = QByteArray* (*)(stZamMonitor* monitor);
void setPluginResultBufferAccessor(PluginResultBufferAccessor accessor);

// Appends a section of size bytes of the given type (data zeroed) and answers its data, which
// stays valid until the next append to the same buffer; null when the size cannot be a section.
void* appendResultSection(QByteArray& buffer, unsigned size, int type);

void* pluginResultMemory(stZamMonitor* monitor, unsigned size, int type);
// Empties the record's result buffer (before each poll).
void clearResults(stZamMonitor* monitor);
