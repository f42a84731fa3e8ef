#pragma once

#include "STemplateInfo.h"

#include <QMap>
#include <QString>

// Folders of a template's attachments and the expansion of paths written with folder variables
// ("$AppFiles/x.py", "$CorvaneDataDir/mibs", "%HOME%/a"). A value built, used and dropped by
// one thread; the process environment is read on each expandPath.
class CAppFolders
{
public:
    enum Folder { AppFilesFolder = 0, MibsFolder = 1 };

    CAppFolders();
    explicit CAppFolders(const QString& templateFolderName);
    explicit CAppFolders(const STemplateInfo& templateInfo);

    // "%1/v%2_%3_%4": file-safe name, number, "custom" or "standard", id.
    static QString templateFolderName(const STemplateInfo& templateInfo);

    // 0 the application-files folder (empty without a template), 1 the MIBs folder, else empty.
    QString folder(int which) const;
    // True when the directory exists or could be made with all missing parents.
    static bool ensureDirectory(const QString& path);
    // Folder and environment variables replaced, made absolute against the current directory.
    QString expandPath(const QString& path) const;
    // Both paths expanded, compared without regard to case.
    bool samePath(const QString& a, const QString& b) const;
    // The inverse of expandPath for the folder variables: longest folder first.
    QString collapsePath(const QString& path) const;
    const QMap<QString, QString>& variables() const { return m_variables; }

    // "\" becomes "/", then runs of "/" after the leading one shrink to one "/".
    static QString normalizePath(const QString& path);
    // Folders that name other variables are expanded, in at most 10 passes; variables left
    // unresolved after that (mutual references) keep their normalised folder.
    static QMap<QString, QString> resolveVariables(const QMap<QString, QString>& variables);
    // Every occurrence of `before`, without regard to case, becomes `after`; then runs of "/"
    // are collapsed as normalizePath does.
    static QString replaceAndCollapse(const QString& text, const QString& before, const QString& after);

private:
    void init(const QString& templateFolderName);

    QString m_appFilesFolder;
    QString m_mibsFolder;
    QMap<QString, QString> m_variables;
};
