#include "TemplateAttachmentsStore.h"

#include "core/CAppFolders.h"
#include "common/AppPaths.h"
#include "common/SaveFileAtomically.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

enum AttachmentType { AppFile = 0, MibFile = 1 };

// Where one record lives, or why it has none.
struct STarget
{
    enum Outcome { Ok, Skipped, Refused };
    Outcome outcome = Skipped;
    bool explicitFolder = false;
    int type = AppFile;
    QString fullPath;   // cleaned, absolute
    QString root;       // the folder the file must stay under
};

QString templatesRoot()
{
    return QDir::cleanPath(configDir() + QStringLiteral("templates"));
}

QString mibsRoot()
{
    return QDir::cleanPath(configDir() + QStringLiteral("mibs"));
}

bool textUnder(const QString& path, const QString& root)
{
    return !root.isEmpty() && path.startsWith(root + QLatin1Char('/')) && path.size() > root.size() + 1;
}

// The folder, once it exists, resolves (links included) to a place under the root.
bool folderStaysUnder(const QString& folder, const QString& root)
{
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    if (realRoot.isEmpty() || realFolder.isEmpty())
        return false;
    return realFolder == realRoot || textUnder(realFolder, realRoot);
}

STarget findTarget(const CAppFolders& folders, const STemplateAttachment& a)
{
    STarget t;
    const QString name = attachmentFileName(a).value();
    t.type = a.type.value();
    t.explicitFolder = attachmentExplicitFolder(a).hasValue();
    QString folder;
    if (t.explicitFolder) {
        folder = attachmentExplicitFolder(a).value();
    } else if (t.type == AppFile) {
        folder = QStringLiteral("$AppFiles");
    } else if (t.type == MibFile) {
        folder = QStringLiteral("$CorvaneDataDir/mibs");
    } else {
        qWarning().noquote() << QStringLiteral("attachment '%1' has unknown type %2").arg(name).arg(t.type);
        return t;
    }
    const Optional<bool>& custom = attachmentCustomPathAllowed(a);
    if (t.explicitFolder && !(custom.hasValue() && custom.value()))
        return t;

    t.outcome = STarget::Refused;
    if (!isSafeAttachmentName(name)) {
        qWarning().noquote() << QStringLiteral("attachment '%1' refused: not a plain file name").arg(name);
        return t;
    }
    if (!t.explicitFolder && t.type == AppFile && folders.folder(CAppFolders::AppFilesFolder).isEmpty()) {
        qWarning().noquote() << QStringLiteral("attachment '%1' refused: no application files folder").arg(name);
        return t;
    }
    const QString expanded = folders.expandPath(folder + QLatin1Char('/') + name);
    if (expanded.isEmpty()) {
        t.outcome = STarget::Skipped;
        return t;
    }
    t.fullPath = QDir::cleanPath(QDir::fromNativeSeparators(expanded));
    bool inside = false;
    if (t.explicitFolder) {
        // The service that may send an upgrade is trusted to place files where its record
        // says; only the name is held to one component.
        t.outcome = STarget::Ok;
        return t;
    } else if (t.type == AppFile) {
        t.root = QDir::cleanPath(QDir::fromNativeSeparators(
            folders.expandPath(folders.folder(CAppFolders::AppFilesFolder))));
        inside = textUnder(t.root, templatesRoot()) && textUnder(t.fullPath, t.root);
    } else {
        t.root = mibsRoot();
        inside = textUnder(t.fullPath, t.root);
    }
    if (!inside) {
        qWarning().noquote() << QStringLiteral("attachment '%1' refused: '%2' lies outside the attachment folders")
                                    .arg(name, t.fullPath);
        return t;
    }
    t.outcome = STarget::Ok;
    return t;
}

bool isRegularFile(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Missing for the service: absent, unreadable, or another checksum.
bool mibFileMatches(const STemplateAttachment& a, const QString& path)
{
    // The file itself may not be a link: the attachment folders are ours, its name is not.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        qWarning().noquote() << QStringLiteral("cannot open attachment '%1'").arg(path);
        return false;
    }
    if (file.size() > kMaxAttachmentBytes) {
        qWarning().noquote() << QStringLiteral("cannot read attachment '%1'").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size()) {
        qWarning().noquote() << QStringLiteral("cannot read attachment '%1'").arg(path);
        return false;
    }
    return a.checksum.hasValue() && a.checksum.value() == computeChecksum(bytes).value();
}

} // namespace

bool isSafeAttachmentName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
           && !name.contains(QChar(0));
}

bool isSafeAppFilesPath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\'))
        || path.contains(QLatin1Char(':')) || path.contains(QChar(0)))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString& part : parts)
        if (part == QLatin1String(".."))
            return false;
    return true;
}

bool uncompressAttachment(const QByteArray& compressed, QByteArray& out, QString& error, int maxBytes)
{
    out.clear();
    if (compressed.size() < 4) {
        error = QStringLiteral("content too short");
        return false;
    }
    const auto* b = reinterpret_cast<const uchar*>(compressed.constData());
    const quint32 declared = (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3];
    if (declared > quint32(maxBytes)) {
        error = QStringLiteral("declared size %1 exceeds the limit of %2 bytes").arg(declared).arg(maxBytes);
        return false;
    }
    if (declared == 0) {
        // qCompress writes only the length for empty data.
        if (compressed.size() == 4)
            return true;
    }
    QByteArray buffer(int(declared), Qt::Uninitialized);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        error = QStringLiteral("cannot start decompression");
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData() + 4));
    zs.avail_in = uInt(compressed.size() - 4);
    zs.next_out = reinterpret_cast<Bytef*>(buffer.data());
    zs.avail_out = uInt(buffer.size());
    int rc = inflate(&zs, Z_FINISH);
    if (rc == Z_BUF_ERROR && zs.avail_out == 0) {
        // More output than declared: find out without keeping it.
        char probe[1];
        zs.next_out = reinterpret_cast<Bytef*>(probe);
        zs.avail_out = 1;
        rc = inflate(&zs, Z_FINISH);
        if (rc == Z_STREAM_END || zs.avail_out == 0) {
            inflateEnd(&zs);
            error = QStringLiteral("content is longer than its declared size %1").arg(declared);
            return false;
        }
    }
    const uLong produced = zs.total_out;
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) {
        error = QStringLiteral("content is corrupt");
        return false;
    }
    if (produced != declared) {
        error = QStringLiteral("content has %1 bytes, declared %2").arg(produced).arg(declared);
        return false;
    }
    out = buffer;
    return true;
}

QList<STemplateAttachment> checkTemplateAttachments(const QString& appFilesPath,
                                                    const QList<STemplateAttachment>& list)
{
    const CAppFolders folders(isSafeAppFilesPath(appFilesPath) ? appFilesPath : QString());
    QList<STemplateAttachment> missing;
    for (const STemplateAttachment& a : list) {
        const STarget t = findTarget(folders, a);
        if (t.outcome == STarget::Skipped)
            continue;
        // A refused record has no safe place, so it is not there for the service.
        if (t.outcome == STarget::Refused || !QFileInfo::exists(t.fullPath)) {
            missing.append(a);
            continue;
        }
        if (t.explicitFolder || t.type != MibFile)
            continue;
        if (!folderStaysUnder(QFileInfo(t.fullPath).absolutePath(), t.root) || !mibFileMatches(a, t.fullPath))
            missing.append(a);
    }
    return missing;
}

QList<STemplateAttachment> createTemplateAttachments(const QString& appFilesPath,
                                                     const QList<STemplateAttachmentData>& list)
{
    const CAppFolders folders(isSafeAppFilesPath(appFilesPath) ? appFilesPath : QString());
    QList<STemplateAttachment> failed;
    for (const STemplateAttachmentData& a : list) {
        const STarget t = findTarget(folders, a);
        if (t.outcome == STarget::Skipped)
            continue;
        if (t.outcome == STarget::Refused) {
            failed.append(a);
            continue;
        }
        QByteArray content;
        QString error;
        if (!a.content.hasValue()) {
            qWarning().noquote() << QStringLiteral("attachment '%1' has no content").arg(attachmentFileName(a).value());
            failed.append(a);
            continue;
        }
        if (!uncompressAttachment(a.content.value(), content, error)) {
            qWarning().noquote() << QStringLiteral("cannot uncompress attachment '%1': %2").arg(attachmentFileName(a).value(), error);
            failed.append(a);
            continue;
        }
        // Content first: a record that cannot be written leaves no folder behind.
        const QString dir = QFileInfo(t.fullPath).absolutePath();
        if (!CAppFolders::ensureDirectory(dir)) {
            qWarning().noquote() << QStringLiteral("cannot create attachments directory '%1'").arg(dir);
            failed.append(a);
            continue;
        }
        if (!t.explicitFolder && !folderStaysUnder(dir, t.root)) {
            qWarning().noquote() << QStringLiteral("attachment '%1' refused: '%2' leads outside the attachment folders")
                                        .arg(attachmentFileName(a).value(), dir);
            failed.append(a);
            continue;
        }
        const bool overwrite = t.type == MibFile && !t.explicitFolder;
        if (!saveFileAtomically(t.fullPath, content, overwrite))
            failed.append(a);
        else if (t.explicitFolder)
            qInfo().noquote() << QStringLiteral("attachment '%1' written to '%2'").arg(attachmentFileName(a).value(), t.fullPath);
    }
    return failed;
}

void deleteTemplateAttachments(const QString& appFilesPath, const QList<STemplateAttachment>& list)
{
    if (!isSafeAppFilesPath(appFilesPath)) {
        qWarning().noquote() << QStringLiteral("template attachments of '%1' not removed: not a template folder")
                                    .arg(appFilesPath);
        return;
    }
    const CAppFolders folders(appFilesPath);
    const QString root = templatesRoot();
    const QString folder = QDir::cleanPath(folders.folder(CAppFolders::AppFilesFolder));
    if (!textUnder(folder, root))
        return;
    QSet<QString> names;
    for (const STemplateAttachment& a : list) {
        if (attachmentExplicitFolder(a).hasValue() || a.type.value() != AppFile)
            continue;
        const QString name = attachmentFileName(a).value();
        if (isSafeAttachmentName(name))
            names.insert(name.toLower());
    }
    QDir dir(folder);
    if (!dir.exists())
        return;
    if (!folderStaysUnder(folder, root)) {
        qWarning().noquote() << QStringLiteral("template attachments of '%1' not removed: '%2' leads outside the "
                                               "templates folder")
                                    .arg(appFilesPath, folder);
        return;
    }
    QStringList staying;
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& entry : entries) {
        const QString path = dir.absoluteFilePath(entry);
        if (!names.contains(entry.toLower())) {
            staying.append(entry);
            continue;
        }
        // Only regular files go; a folder or a link of the same name stays.
        if (!isRegularFile(path) || !QFile::remove(path)) {
            qWarning().noquote() << QStringLiteral("error removing template attachment '%1'").arg(path);
            staying.append(entry);
        }
    }
    if (!staying.isEmpty()) {
        qWarning().noquote()
            << QStringLiteral("directory '%1' still contains files: %2").arg(folder, staying.join(QStringLiteral(", ")));
        return;
    }
    if (!QDir().rmdir(folder)) {
        qWarning().noquote() << QStringLiteral("error removing template attachments directory '%1'").arg(folder);
        return;
    }
    // Empty parents go too, up to the templates folder itself.
    QString parent = QFileInfo(folder).absolutePath();
    while (textUnder(parent, root) && QDir().rmdir(parent))
        parent = QFileInfo(parent).absolutePath();
}
