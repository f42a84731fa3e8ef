// Path variables from arbitrary text: lines "name=folder" build the variables, the last line is
// a path. Resolving always ends, keeps every folder bounded, and normalising is stable.

#include "core/CAppFolders.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    QStringList lines = text.split(QLatin1Char('\n'));
    const QString path = lines.takeLast();
    QMap<QString, QString> variables;
    for (const QString& line : lines) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            variables.insert(line.left(eq), line.mid(eq + 1));
    }

    const QMap<QString, QString> resolved = CAppFolders::resolveVariables(variables);
    if (resolved.keys() != variables.keys())
        abort();
    for (auto it = resolved.cbegin(); it != resolved.cend(); ++it) {
        if (it.value().size() > 64 * 1024)
            abort();
        if (CAppFolders::normalizePath(it.value()) != it.value())
            abort();
    }

    const QString normal = CAppFolders::normalizePath(path);
    if (CAppFolders::normalizePath(normal) != normal || normal.contains(QLatin1Char('\\')))
        abort();
    int lead = 0;
    while (lead < normal.size() && normal.at(lead) == QLatin1Char('/'))
        ++lead;
    if (normal.indexOf(QStringLiteral("//"), lead) >= 0)
        abort();

    const CAppFolders folders(path.left(64));
    const QString expanded = folders.expandPath(path);
    if (expanded.size() > 2 * 1024 * 1024)
        abort();
    folders.collapsePath(path);
    return 0;
}
