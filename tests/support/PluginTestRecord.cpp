#include "PluginTestRecord.h"

#include "checks/zam_core_monitors/ZamResultSection.h"

#include <QDataStream>
#include <cstring>

PluginTestRecord::PluginTestRecord() : self(this)
{
    std::memset(static_cast<void*>(&mon), 0, sizeof mon);
    mon.monitorId = -1;
}

void PluginTestRecord::setHost(const char* name, const char* address, bool useHostName)
{
    std::strncpy(mon.hostName, name, sizeof mon.hostName - 1);
    std::strncpy(mon.hostAddress, address, sizeof mon.hostAddress - 1);
    mon.useHostName = useHostName ? 1 : 0;
}

void PluginTestRecord::addSetting(const char* name, const char* valueText, int64_t valueInt, int kind)
{
    stZamSettingEntry e{};
    m_texts.emplace_back(name);
    e.name = m_texts.back().c_str();
    e.id = kind;
    m_texts.emplace_back(valueText ? valueText : "");
    e.valueText = m_texts.back().c_str();
    e.valueInt = valueInt;
    e.min = -1;
    e.max = -1;
    m_entries.push_back(e);
    rebuild();
}

void PluginTestRecord::addNullTextSetting(const char* name, int64_t valueInt, int kind)
{
    addSetting(name, "", valueInt, kind);
    m_entries.back().valueText = nullptr;
}

void PluginTestRecord::clearSettings()
{
    m_entries.clear();
    rebuild();
}

void PluginTestRecord::rebuild()
{
    mon.settings.count = static_cast<uint32_t>(m_entries.size());
    mon.settings.entries = m_entries.empty() ? nullptr : m_entries.data();
}

void PluginTestRecord::setValidation(int rule, int flags, const char* text)
{
    mon.validation[rule].flags = flags;
    if (text) {
        m_validationText[rule] = text;
        mon.validation[rule].text = m_validationText[rule].c_str();
    } else {
        mon.validation[rule].text = nullptr;
    }
}

void PluginTestRecord::acceptNewMonitors()
{
    mon.addNewMonitorFn = &PluginTestRecord::newMonitorSink;
    mon.addNewMonitorContext = this;
}

void PluginTestRecord::newMonitorSink(void* context, const stZamNewMonitorRequest* request)
{
    auto* rec = static_cast<PluginTestRecord*>(context);
    PluginNewMonitor found;
    found.typeName = QString::fromUtf8(request->typeName);
    found.name = QString::fromUtf8(request->name);
    for (int i = 0; i < request->count; ++i) {
        PluginNewMonitor::Setting s;
        s.name = QString::fromUtf8(request->settings[i].name);
        s.hexValue = QByteArray(request->settings[i].value);
        const QByteArray raw = QByteArray::fromHex(s.hexValue);
        QDataStream in(raw);
        in.setVersion(QDataStream::Qt_4_6);
        in >> s.value;
        s.flag = request->settings[i].flag;
        found.settings.push_back(s);
    }
    rec->newMonitors.push_back(found);
}

std::map<int, QByteArray> PluginTestRecord::sectionsByType(bool* ok) const
{
    std::map<int, zamsection::View> views;
    const bool clean = zamsection::read(sections.data(), sections.size(), views);
    if (ok)
        *ok = clean;
    std::map<int, QByteArray> out;
    for (const auto& v : views)
        out[v.first] = QByteArray(reinterpret_cast<const char*>(sections.data() + v.second.offset),
                                  static_cast<int>(v.second.size));
    return out;
}

void* PluginTestRecord::resultMemory(stZamMonitor* monitor, unsigned size, int type)
{
    if (!monitor)
        return nullptr;
    // The record's own address sits right behind the library part, as in the daemon.
    PluginTestRecord* rec = *reinterpret_cast<PluginTestRecord**>(reinterpret_cast<char*>(monitor) + sizeof(stZamMonitor));
    if (!rec || rec->refuseMemory || static_cast<void*>(&rec->mon) != static_cast<void*>(monitor))
        return nullptr;
    const size_t offset = zamsection::append(rec->sections, type, size);
    if (offset == SIZE_MAX)
        return nullptr;
    return rec->sections.data() + offset;
}

QByteArray PluginTestRecord::sectionText(int type) const
{
    const std::map<int, QByteArray> sections = sectionsByType();
    const auto it = sections.find(type);
    if (it == sections.end())
        return QByteArray();
    QByteArray text = it->second;
    while (text.endsWith('\0'))
        text.chop(1);
    return text;
}
