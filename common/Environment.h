#pragma once
#include <QString>

// Process environment access. Names and values cross the C interface in Latin-1;
// values read back are taken as UTF-8.
QString getEnvironmentVariable(const QString& name);          // empty when unset
void setEnvironmentVariable(const QString& name, const QString& value);   // overwrites
// MIBS := "" and SNMPCONFPATH := the configuration folder without its trailing "/".
void setSnmpEnvironment();
// Appends the folder to PATH unless it is already one of PATH's elements.
void appendToPath(const QString& folder);

QString latin1ToLocal8Bit(const QString& text);
QString local8BitToLatin1(const QString& text);
