#include "CAppFolders.h"

#include "common/AppPaths.h"
#include "common/ModelTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

constexpr int kMaxPasses = 10;
// A folder that grows past this while variables are expanded stays unexpanded: keeps memory
// bounded when environment variables refer to each other many times over.
constexpr int kMaxFolderLength = 64 * 1024;
// Likewise a path that names a variable so often that it would outgrow this keeps the name.
constexpr qint64 kMaxPathLength = 1024 * 1024;

QString variableName(const char* name)
{
    return QStringLiteral("$%1").arg(QLatin1String(name));
}

// Runs of "/" after the leading run become one "/"; the leading run (a root or a UNC-style
// "//host") stays as it is, and so does a "/" that ends the text.
QString collapseSlashes(const QString& text)
{
    QString out;
    out.reserve(text.size());
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char('/'))
        out += text.at(i++);
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/')))
            continue;
        out += c;
    }
    return out;
}

} // namespace

CAppFolders::CAppFolders()
{
    init(QString());
}

CAppFolders::CAppFolders(const QString& templateFolderName)
{
    init(templateFolderName);
}

CAppFolders::CAppFolders(const STemplateInfo& templateInfo)
{
    init(templateFolderName(templateInfo));
}

QString CAppFolders::templateFolderName(const STemplateInfo& t)
{
    const bool custom = t.custom.hasValue() && t.custom.value();
    return QStringLiteral("%1/v%2_%3_%4")
        .arg(sanitizeFileName(t.name.value()))
        .arg(t.number.value())
        .arg(custom ? QStringLiteral("custom") : QStringLiteral("standard"))
        .arg(t.id);
}

void CAppFolders::init(const QString& templateFolderName)
{
    const QString dataDir = configDir();
    if (!templateFolderName.isEmpty())
        m_appFilesFolder = dataDir + QStringLiteral("/templates/") + templateFolderName;
    m_mibsFolder = dataDir + QStringLiteral("/mibs");
    m_variables.insert(variableName("CorvaneInstallDir"), installDir());
    m_variables.insert(variableName("CorvaneDataDir"), dataDir);
    if (!templateFolderName.isEmpty())
        m_variables.insert(variableName("AppFiles"), m_appFilesFolder);
}

QString CAppFolders::folder(int which) const
{
    switch (which) {
    case AppFilesFolder:
        return m_appFilesFolder;
    case MibsFolder:
        return m_mibsFolder;
    default:
        return QString();
    }
}

bool CAppFolders::ensureDirectory(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDir(path).exists() || QDir().mkpath(path);
}

QString CAppFolders::replaceAndCollapse(const QString& text, const QString& before, const QString& after)
{
    QString out = text;
    if (!before.isEmpty())
        out.replace(before, after, Qt::CaseInsensitive);
    return collapseSlashes(out);
}

QString CAppFolders::normalizePath(const QString& path)
{
    return replaceAndCollapse(path, QStringLiteral("\\"), QStringLiteral("/"));
}

QMap<QString, QString> CAppFolders::resolveVariables(const QMap<QString, QString>& variables)
{
    QMap<QString, QString> result;
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        result.insert(it.key(), normalizePath(it.value()));

    QMap<QString, QString> work = result;   // current folders, expanded step by step
    QSet<QString> pending;
    // Variables whose expansion reaches themselves (mutual or self references) or grows past
    // the limit: they keep their normalised folder and expand nothing else.
    QSet<QString> stuck;
    for (auto it = work.cbegin(); it != work.cend(); ++it) {
        if (it.value().contains(it.key(), Qt::CaseInsensitive))
            stuck.insert(it.key());
        else
            pending.insert(it.key());
    }

    for (int pass = 0; pass < kMaxPasses && !pending.isEmpty(); ++pass) {
        for (auto it = work.begin(); it != work.end(); ++it) {
            const QString& name = it.key();
            if (!pending.contains(name))
                continue;
            bool replaced = false;
            // A finished variable is a source as well, so a chain resolves whatever the
            // order of its names.
            for (auto other = work.cbegin(); other != work.cend(); ++other) {
                if (other.key() == name || stuck.contains(other.key())
                    || !it.value().contains(other.key(), Qt::CaseInsensitive))
                    continue;
                const qint64 grown = it.value().size()
                                     + qint64(it.value().count(other.key(), Qt::CaseInsensitive))
                                           * (other.value().size() - other.key().size());
                if (grown > kMaxFolderLength) {
                    stuck.insert(name);
                    break;
                }
                it.value() = replaceAndCollapse(it.value(), other.key(), other.value());
                replaced = true;
                if (it.value().contains(name, Qt::CaseInsensitive)) {
                    stuck.insert(name);
                    break;
                }
            }
            if (stuck.contains(name)) {
                it.value() = result.value(name);
                pending.remove(name);
            } else if (!replaced) {
                result[name] = it.value();
                pending.remove(name);
            }
        }
    }
    return result;
}

QString CAppFolders::expandPath(const QString& path) const
{
    QMap<QString, QString> all = m_variables;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys())
        all.insert(QLatin1Char('%') + key + QLatin1Char('%'), env.value(key));
    all = resolveVariables(all);

    QString p = normalizePath(path);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const int count = p.count(it.key(), Qt::CaseInsensitive);
        if (count == 0 || p.size() + qint64(count) * (it.value().size() - it.key().size()) > kMaxPathLength)
            continue;
        p = replaceAndCollapse(p, it.key(), it.value());
    }
    return QDir::toNativeSeparators(QFileInfo(p).absoluteFilePath());
}

bool CAppFolders::samePath(const QString& a, const QString& b) const
{
    return expandPath(a).compare(expandPath(b), Qt::CaseInsensitive) == 0;
}

QString CAppFolders::collapsePath(const QString& path) const
{
    const QMap<QString, QString> resolved = resolveVariables(m_variables);
    std::vector<std::pair<QString, QString>> byLength;
    for (auto it = resolved.cbegin(); it != resolved.cend(); ++it)
        byLength.emplace_back(it.key(), it.value());
    std::stable_sort(byLength.begin(), byLength.end(), [](const auto& a, const auto& b) {
        return a.second.size() > b.second.size();
    });
    QString p = normalizePath(path);
    for (const auto& v : byLength)
        if (!v.second.isEmpty())
            p = replaceAndCollapse(p, v.second, v.first + QLatin1Char('/'));
    return QDir::toNativeSeparators(p);
}
