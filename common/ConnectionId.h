#pragma once
#include <QString>

// The agent's connection id: lower-case hexadecimal MD5 of the certificate's PEM encoding
// (re-encoded, so line endings or text around the certificate do not change it).
// False with the loader's error text in out when the file is missing, unreadable or not a
// PEM certificate. Reentrant; logs nothing.
bool connectionIdFromCertificate(const QString& certificatePath, QString& out);
