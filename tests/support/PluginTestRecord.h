#pragma once
// A monitor record as a host builds it: the library part, then the host's own tail (the record
// itself at 0x598, as the daemon keeps it, the result buffer, the settings storage and the
// discovered monitors). Not thread-safe: one record per polling thread.

#include "checks/zam_core_monitors/zam_plugin_api.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <deque>
#include <map>
#include <string>
#include <vector>

struct PluginNewMonitor {
    QString typeName;
    QString name;
    struct Setting {
        QString name;
        QByteArray hexValue;
        QVariant value;  // hexValue read back with QDataStream version 12
        int flag = 0;
    };
    std::vector<Setting> settings;
};

class PluginTestRecord
{
public:
    PluginTestRecord();
    PluginTestRecord(const PluginTestRecord&) = delete;
    PluginTestRecord& operator=(const PluginTestRecord&) = delete;

    stZamMonitor mon;               // library part, 1432 bytes
    PluginTestRecord* self;         // at 0x598
    std::vector<unsigned char> sections;
    std::vector<PluginNewMonitor> newMonitors;
    bool refuseMemory = false;      // the memory callback answers null

    void setHost(const char* name, const char* address = "", bool useHostName = true);
    // Adds one settings entry (kind letter in the id slot, as the daemon does).
    void addSetting(const char* name, const char* valueText, int64_t valueInt = 0, int kind = 's');
    void addNullTextSetting(const char* name, int64_t valueInt, int kind = 'i');
    void clearSettings();
    void setValidation(int rule, int flags, const char* text);
    // Accept discovered monitors into newMonitors.
    void acceptNewMonitors();

    // The last section of each type (empty when absent), and whether the buffer reads cleanly.
    std::map<int, QByteArray> sectionsByType(bool* ok = nullptr) const;
    // The text of a section type without its padding NULs; empty when there is none.
    QByteArray sectionText(int type) const;

    static void* resultMemory(stZamMonitor* monitor, unsigned size, int type);

private:
    void rebuild();
    static void newMonitorSink(void* context, const stZamNewMonitorRequest* request);

    std::deque<std::string> m_texts;
    std::vector<stZamSettingEntry> m_entries;
    std::string m_validationText[2];
};
