#pragma once

#include "AttachmentRecordTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The agent's copies of template attachments: application files under
// <config>/templates/<app files path>/ and MIB files under <config>/mibs/.
// The three operations run on whatever thread calls them (a task thread); each touches only
// its own arguments and the file system, so they need no lock. A record without an explicit
// folder never places, reads or removes a file outside those two folders. A record with an
// explicit folder and its custom-path flag set is written where that folder says after
// expansion (the service that may upgrade the agent is trusted to place files); its name is
// still one path component, an existing file there is kept, and each such write is logged.
//
// Record fields as the store reads them: name is the file name, fileName an explicit folder
// (which may hold folder variables), replace the permission to use that explicit folder.

// How the store reads a record, in one place.
inline const Optional<QString>& attachmentFileName(const STemplateAttachment& a) { return a.name; }
inline const Optional<QString>& attachmentExplicitFolder(const STemplateAttachment& a) { return a.fileName; }
inline const Optional<bool>& attachmentCustomPathAllowed(const STemplateAttachment& a) { return a.replace; }

// Largest uncompressed content the store accepts for one attachment.
constexpr int kMaxAttachmentBytes = 64 * 1024 * 1024;

// The records whose file is absent or, for a MIB file, unreadable or of another checksum;
// request order.
QList<STemplateAttachment> checkTemplateAttachments(const QString& appFilesPath,
                                                    const QList<STemplateAttachment>& list);
// Writes each record's content; answers the records that were not written (without their
// content), request order. Existing application files are kept, MIB files replaced.
QList<STemplateAttachment> createTemplateAttachments(const QString& appFilesPath,
                                                     const QList<STemplateAttachmentData>& list);
// Removes the named application files (names compared without regard to case) from the
// template's folder, and the folder with its empty parents once nothing is left in it.
void deleteTemplateAttachments(const QString& appFilesPath, const QList<STemplateAttachment>& list);

// One path component: not empty, ".", "..", and without "/", "\" or NUL.
bool isSafeAttachmentName(const QString& name);
// A relative folder path without "..", "\", ":" or NUL components; not empty.
bool isSafeAppFilesPath(const QString& path);
// qCompress form (4-byte big-endian length, zlib stream) to bytes. False with the reason
// when the data is corrupt, its declared length exceeds maxBytes, or the stream yields
// another length than declared. Pure.
bool uncompressAttachment(const QByteArray& compressed, QByteArray& out, QString& error,
                          int maxBytes = kMaxAttachmentBytes);
