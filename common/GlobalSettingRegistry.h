#pragma once

#include <QString>

// Process-wide two-way map between global-setting names and numeric ids. Names are
// normalised ('/' becomes '\') before they are stored or looked up. Filled from the fixed key
// table on first use; unknown names get new ids from 174 on (logged once each).
// Thread-safe: one read-write lock guards both maps and the highest id; lookups that hit
// share the lock, only additions take it exclusively. Each thread also remembers the ids it
// was given (a name never changes its id), so repeated lookups take no lock at all.

// The id of a name; an unknown name is added with the next id and a warning.
int globalSettingId(const QString& name);

// The normalised name of an id; throws CDbException ("cannot find string for N", code -1)
// for an unknown id.
QString globalSettingName(int id);

// Text packing of long setting values: UTF-8, qCompress level 9, Base64, as Latin-1 text.
QString packText(const QString& text);

// Largest unpacked size accepted (16 MiB). Packed text whose size header or actual output
// exceeds it, or that is not a complete zlib stream, gives the empty text and a warning.
constexpr int kMaxUnpackedTextBytes = 16 * 1024 * 1024;

QString unpackText(const QString& packed);
