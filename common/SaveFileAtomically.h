#pragma once
#include <QByteArray>
#include <QString>

// Replaces (or creates) a file so that readers see either the old or the new content, never
// a partial one: the data goes to a unique temporary file in the same folder, is flushed to
// disk and then renamed over the target. With overwrite false an existing file is left alone
// and the answer is false. Failures are logged as warnings and answered false; the old file
// and any unrelated ".tmp" file stay untouched.
bool saveFileAtomically(const QString& fileName, const QByteArray& data, bool overwrite);
