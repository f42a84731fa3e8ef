#pragma once
// Settings parsing and the small readers the checks share. Pure functions over the record's
// settings; no state.

#include "zam_plugin_api.h"

#include <QString>
#include <QStringList>
#include <string>

// One row of a type's option table (48 bytes). A table ends with a row whose id is 0. A row
// without a name matches the setting's id (the daemon puts the kind letter there).
struct PluginOption {
    int id;
    const char* name;
    int bit;
    int* intTarget;
    std::string* textTarget;
    std::wstring* wideTarget;
};
static_assert(sizeof(PluginOption) == 48, "option row");

// Fills the targets from the settings; `found` gets the bits of the options that received a
// value. Answers 1; 0 (found 0) when the settings or the option table are missing.
// "Divide returned value by": the number at the start of the text (C locale, whatever the
// process's locale), text after it ignored; false when there is none or it is not above 0.
bool readPositiveDivisor(const char* text, double& divisor);

int pluginParseSettings(const stZamSettings* settings, const PluginOption* options, int* found);
const stZamSettingEntry* findSetting(const stZamSettings* settings, const char* name);
bool findIntInStr(const char* text, int value);
QStringList getArgsList(const QString& text);
void validateStrResponse(stZamMonitor* mon, int rule, const QString& reply);
QString stripData(const QString& text);
