#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Text macros: "$name" variables expanded recursively from a table (keys in lower case),
// then "%NAME%" environment variables, compared without regard to case. Pure functions over
// the context; no shared state.
struct SMacroContext
{
    QMap<QString, QString> variables;   // keys lower case
    QProcessEnvironment environment;
};

// Expands "$name" (longest matching variable, names up to 30 characters; a variable already
// being expanded expands to nothing) and then "%NAME%" environment variables.
QString expandMacros(const SMacroContext& context, const QString& text,
                     const QStringList& visited = QStringList());

// Enters "installdir", "datadir", "corvaneinstalldir" and "corvanedatadir": the canonical
// paths (native separators) of the given install and configuration folders.
void pathVariables(SMacroContext& context, const QString& installDir, const QString& configDir);

// The same with the daemon's own folders: the install folder (parent of the executable's
// folder) and the configuration folder "/etc/opt/corvane-agent/".
void pathVariables(SMacroContext& context);
