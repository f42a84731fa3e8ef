#include "zam_compose.h"

#include "zam_host.h"

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <cstring>
#include <stdexcept>
#include <vector>

void* compose_zam_memory(stZamMonitor* mon, const void* data, unsigned length, int type)
{
    void* area = zamGetServerMemory(mon, length, type);
    if (!area)
        throw std::runtime_error("Cannot allocate memory for polling results");
    if (length > 0 && data)
        std::memcpy(area, data, length);
    return area;
}

static void composeText(stZamMonitor* mon, const char* text, int type)
{
    const char* t = text ? text : "";
    compose_zam_memory(mon, t, static_cast<unsigned>(std::strlen(t) + 1), type);
}

void compose_INT64_PERFVAL(stZamMonitor* mon, int64_t value)
{
    compose_zam_memory(mon, &value, sizeof value, ZAM_SECTION_PERF64);
}

void compose_MEASURE_UNIT(stZamMonitor* mon, const char* text)
{
    composeText(mon, text, ZAM_SECTION_MEASURE_UNIT);
}

void compose_INT64_PERFVAL_MEASURE_UNIT(stZamMonitor* mon, int64_t value, const char* text)
{
    const int32_t low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
    compose_zam_memory(mon, &low, sizeof low, ZAM_SECTION_PERF32);
    compose_INT64_PERFVAL(mon, value);
    compose_MEASURE_UNIT(mon, text);
}

void compose_UTF8_DISPLAY_VALUE(stZamMonitor* mon, const char* text)
{
    composeText(mon, text, ZAM_SECTION_DISPLAY_VALUE);
}

void compose_zam_memsect_entity_table(stZamMonitor* mon, const char* text, int type)
{
    composeText(mon, text, type);
}

void addNewMonitor(stZamMonitor* mon, const QString& typeName, const QString& name,
                   const QMap<QString, CZamNewMonitorSetting>& settings)
{
    if (!mon || !mon->addNewMonitorFn) {
        zamLogMessage(ZAM_LOG_ERROR, "cannot find function for adding new monitor");
        return;
    }
    const QByteArray type = typeName.toUtf8();
    const QByteArray monitorName = name.toUtf8();
    std::vector<QByteArray> names;
    std::vector<QByteArray> values;
    names.reserve(settings.size());
    values.reserve(settings.size());
    std::vector<stZamNewMonitorSetting> records;
    records.reserve(settings.size());
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
        names.push_back(it.key().toUtf8());
        QByteArray raw;
        QDataStream out(&raw, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_4_6);
        out << it.value().value();
        values.push_back(raw.toHex());
        stZamNewMonitorSetting rec{};
        rec.name = names.back().constData();
        rec.value = values.back().constData();
        rec.flag = it.value().flag() ? 1 : 0;
        records.push_back(rec);
    }
    stZamNewMonitorRequest request{};
    request.typeName = type.constData();
    request.name = monitorName.constData();
    request.count = static_cast<int>(records.size());
    request.settings = records.empty() ? nullptr : records.data();
    mon->addNewMonitorFn(mon->addNewMonitorContext, &request);
}

QString truncateInterfaceName(const QString& name)
{
    const int limit = 20;
    const QString simple = name.simplified();
    if (simple.size() < limit)
        return simple;
    const QStringList words = simple.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString out = words.value(0);
    for (int i = 1; i < words.size(); ++i) {
        if (out.size() + 1 + words[i].size() > limit)
            break;
        out += QLatin1Char(' ') + words[i];
    }
    if (out.size() > limit)
        return simple.left(limit);
    return out;
}
