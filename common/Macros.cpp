#include "Macros.h"

#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kMaxNameLength = 30;

bool isAsciiAlnum(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// The variable whose key is the longest one that begins `prefix` (first in key order among
// equals); end() when none.
QMap<QString, QString>::const_iterator longestKeyPrefix(const QMap<QString, QString>& vars,
                                                        const QString& prefix)
{
    auto best = vars.constEnd();
    for (auto it = vars.constBegin(); it != vars.constEnd(); ++it) {
        if (it.key().isEmpty() || !prefix.startsWith(it.key()))
            continue;
        if (best == vars.constEnd() || it.key().size() > best.key().size())
            best = it;
    }
    return best;
}

void replaceEnvironment(const QProcessEnvironment& env, QString& text)
{
    if (!text.contains(QLatin1Char('%')))
        return;
    const QStringList keys = env.keys();
    for (const QString& key : keys) {
        if (key.isEmpty())
            continue;
        const QString token = QLatin1Char('%') + key + QLatin1Char('%');
        if (text.contains(token, Qt::CaseInsensitive))
            text.replace(token, env.value(key), Qt::CaseInsensitive);
    }
}

} // namespace

QString expandMacros(const SMacroContext& context, const QString& text, const QStringList& visited)
{
    QString result;
    int p = 0;
    for (;;) {
        const int dollar = text.indexOf(QLatin1Char('$'), p);
        if (dollar < 0)
            break;
        result += text.midRef(p, dollar - p);
        p = dollar + 1;

        int end = p;
        while (end < text.size() && isAsciiAlnum(text.at(end)))
            ++end;
        const int nameLength = end - p;

        QString key;
        QString value;
        bool found = false;
        if (nameLength >= 1 && nameLength <= kMaxNameLength) {
            const QString name = text.mid(p, nameLength).toLower();
            const auto it = context.variables.constFind(name);
            if (it != context.variables.constEnd()) {
                key = it.key();
                value = it.value();
                found = true;
            }
        }
        if (!found) {
            const auto it = longestKeyPrefix(context.variables, text.mid(p, kMaxNameLength).toLower());
            if (it == context.variables.constEnd()) {
                result += QLatin1Char('$');
                continue;
            }
            key = it.key();
            value = it.value();
        }
        if (!visited.contains(key)) {
            QStringList inner = visited;
            inner << key;
            result += expandMacros(context, value, inner);
        }
        p = dollar + 1 + key.size();
    }
    result += text.midRef(p);
    replaceEnvironment(context.environment, result);
    return result;
}

void pathVariables(SMacroContext& context, const QString& installDir, const QString& configDir)
{
    const QString install = QDir::toNativeSeparators(QDir(installDir).canonicalPath());
    const QString data = QDir::toNativeSeparators(QDir(configDir).canonicalPath());
    context.variables.insert(QStringLiteral("installdir"), install);
    context.variables.insert(QStringLiteral("datadir"), data);
    context.variables.insert(QStringLiteral("corvaneinstalldir"), install);
    context.variables.insert(QStringLiteral("corvanedatadir"), data);
}

void pathVariables(SMacroContext& context)
{
    pathVariables(context, installDir(), configDir());
}
