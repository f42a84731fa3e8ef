#include <clocale>
#include <cstdlib>
#include "zam_settings.h"

#include "zam_host.h"
#include "zam_monitor_helpers.h"

#include <QRegExp>
#include <QRegularExpression>
#include <cerrno>
#include <cstdlib>
#include <cstring>

static bool sameName(const char* a, const char* b)
{
    return a && b && std::strcmp(a, b) == 0;
}

int pluginParseSettings(const stZamSettings* settings, const PluginOption* options, int* found)
{
    int bits = 0;
    if (found)
        *found = 0;
    if (!settings || !options)
        return 0;
    if (settings->count > 0 && !settings->entries)
        return 0;
    for (uint32_t i = 0; i < settings->count; ++i) {
        const stZamSettingEntry& entry = settings->entries[i];
        const PluginOption* match = nullptr;
        for (const PluginOption* opt = options; opt->id != 0; ++opt) {
            if (opt->name ? sameName(opt->name, entry.name) : opt->id == entry.id) {
                match = opt;
                break;
            }
        }
        if (!match) {
            if (entry.name && entry.name[0] == '$')
                continue;
            const std::string line = std::string("found unknown monitor setting ") + (entry.name ? entry.name : "");
            zamLogMessage(ZAM_LOG_ERROR, line.c_str());
            continue;
        }
        const char* text = entry.valueText ? entry.valueText : "";
        if (match->textTarget) {
            match->textTarget->assign(text);
        } else if (match->wideTarget) {
            *match->wideTarget = QString::fromUtf8(text).toStdWString();
        } else if (match->intTarget) {
            *match->intTarget = static_cast<int>(entry.valueInt);
        } else {
            continue;
        }
        bits |= match->bit;
    }
    if (found)
        *found = bits;
    return 1;
}

const stZamSettingEntry* findSetting(const stZamSettings* settings, const char* name)
{
    if (!settings || !name || settings->count == 0 || !settings->entries)
        return nullptr;
    for (uint32_t i = 0; i < settings->count; ++i) {
        if (sameName(settings->entries[i].name, name))
            return &settings->entries[i];
    }
    return nullptr;
}

bool findIntInStr(const char* text, int value)
{
    if (!text)
        return false;
    const char* pos = text;
    for (;;) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(pos, &end, 10);
        if (end == pos)
            return false;
        if (errno == 0 && v == value)
            return true;
        const char* comma = std::strchr(pos, ',');
        if (!comma)
            return false;
        pos = comma + 1;
    }
}

QStringList getArgsList(const QString& text)
{
    QStringList args;
    if (text.isEmpty())
        return args;
    const QStringList pieces = text.split(QLatin1Char('"'), Qt::SkipEmptyParts);
    bool inside = text.startsWith(QLatin1Char('"'));
    for (const QString& piece : pieces) {
        if (inside) {
            args << QLatin1Char('"') + piece + QLatin1Char('"');
        } else {
            args << piece.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        }
        inside = !inside;
    }
    return args;
}

void validateStrResponse(stZamMonitor* mon, int rule, const QString& reply)
{
    if (!mon || (rule != 0 && rule != 1))
        return;
    const stZamResponseValidationInfo& info = mon->validation[rule];
    if (!(info.flags & ZAM_VALIDATE_ACTIVE))
        return;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("validate response"));
    const QStringList expected = QString::fromUtf8(info.text ? info.text : "").split(QChar(0x00A0));
    const Qt::CaseSensitivity cs = (info.flags & ZAM_VALIDATE_NOCASE) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const int mode = info.flags & (ZAM_VALIDATE_EXACT | ZAM_VALIDATE_REGEXP);
    bool matched = false;
    for (const QString& value : expected) {
        switch (mode) {
        case 0:
            matched = reply.contains(value, cs);
            break;
        case ZAM_VALIDATE_EXACT:
            matched = reply.compare(value, cs) == 0;
            break;
        case ZAM_VALIDATE_REGEXP: {
            QRegExp rx(value, cs);
            matched = rx.isValid() && rx.indexIn(reply) != -1;
            break;
        }
        default: {
            QRegExp rx(value, cs);
            matched = rx.isValid() && rx.exactMatch(reply);
            break;
        }
        }
        if (matched)
            break;
    }
    if (info.flags & ZAM_VALIDATE_INVERT)
        matched = !matched;
    if (matched) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("validate response ok"));
        return;
    }
    mon->validationFailed[rule] = 1;
    setMonFailReasonFmt(mon, "invalid value: '%s'", reply.toUtf8().constData());
}

QString stripData(const QString& text)
{
    static const QRegularExpression password(QStringLiteral("PWD=.*?;"), QRegularExpression::CaseInsensitiveOption);
    QString out = text.simplified();
    out.replace(password, QStringLiteral("PWD=*;"));
    return out;
}

bool readPositiveDivisor(const char* text, double& divisor)
{
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    if (text == nullptr)
        return false;
    char* end = nullptr;
    divisor = strtod_l(text, &end, cLocale);
    return end != text && divisor > 0;
}
