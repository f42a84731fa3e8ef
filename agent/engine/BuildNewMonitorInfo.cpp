#include "stZamMonitor.h"
#include "BuildNewMonitorInfo.h"
#include "common/BoundedVariantReader.h"

#include <QDataStream>

namespace {
QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}
}

CNewMonitorInfo buildNewMonitorInfo(const stZamNewMonitorRequest& request)
{
    CNewMonitorInfo info;
    info.typeName = fromUtf8(request.typeName);
    info.name = fromUtf8(request.name);
    if (!request.settings)
        return info;
    for (int i = 0; i < request.count; ++i) {
        const stZamNewMonitorSetting& element = request.settings[i];
        const QByteArray bytes = QByteArray::fromHex(element.value ? QByteArray(element.value) : QByteArray());
        QDataStream in(bytes);
        in.setVersion(12);
        CZamNewMonitorSetting setting;
        readBoundedVariant(in, setting.value);
        if (in.status() != QDataStream::Ok)
            setting.value = QVariant();
        setting.flag = element.flag != 0;
        setting.name = fromUtf8(element.name);
        info.settings.insert(setting.name, setting);
    }
    return info;
}
