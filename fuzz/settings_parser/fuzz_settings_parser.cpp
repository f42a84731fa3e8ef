// Settings parsing and the settings readers over arbitrary settings: the input is lines of
// "name<TAB>value"; the first byte picks the validation flags.

#include "zam_plugin_api.h"
#include "zam_settings.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int flags = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> names, values;
    size_t pos = 0;
    while (pos <= input.size() && names.size() < 64) {
        size_t end = input.find('\n', pos);
        if (end == std::string::npos)
            end = input.size();
        const std::string line = input.substr(pos, end - pos);
        const size_t tab = line.find('\t');
        names.push_back(line.substr(0, tab));
        values.push_back(tab == std::string::npos ? std::string() : line.substr(tab + 1));
        pos = end + 1;
    }
    std::vector<stZamSettingEntry> entries(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        entries[i] = stZamSettingEntry{};
        entries[i].name = names[i].c_str();
        entries[i].id = names[i].empty() ? 0 : static_cast<unsigned char>(names[i][0]);
        entries[i].valueText = (i % 5 == 4) ? nullptr : values[i].c_str();
        entries[i].valueInt = std::strtoll(values[i].c_str(), nullptr, 10);
    }
    stZamSettings settings{static_cast<uint32_t>(entries.size()), 0, entries.data()};

    int port = 0, id = 0;
    std::string text;
    std::wstring wide;
    const PluginOption options[] = {
        {1, "Port", 1, &port, nullptr, nullptr},
        {2, "Text", 2, nullptr, &text, nullptr},
        {3, "Wide", 4, nullptr, nullptr, &wide},
        {'i', nullptr, 8, &id, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    pluginParseSettings(&settings, options, &found);
    findSetting(&settings, "Port");
    for (const std::string& v : values) {
        findIntInStr(v.c_str(), 3);
        getArgsList(QString::fromUtf8(v.c_str()));
        stripData(QString::fromUtf8(v.c_str()));
    }

    stZamMonitor mon{};
    mon.validation[0].flags = flags | ZAM_VALIDATE_ACTIVE;
    mon.validation[0].text = values[0].c_str();
    validateStrResponse(&mon, flags & 1, QString::fromUtf8(names[0].c_str()));
    return 0;
}
