#pragma once

#include <QString>
#include <QUrl>

// URL of the web utilities: a QUrl built forgivingly from typed text (percent escapes are
// resolved before tolerant parsing, so an escaped "/" acts as a separator; escapes in the user
// information stay as they are, so they cannot move the host), that gives its
// host in Unicode, its host with or without the scheme's default port and its tail (path,
// query and fragment without the leading "/"). A value type; no shared state.
// Layout of the texts it writes: [scheme "://"] host [":" port] "/" tail. User information is
// never written.
class CUrl : public QUrl
{
public:
    CUrl() = default;
    explicit CUrl(const QString& text);
    CUrl(const QUrl& url);

    // Default port of a scheme (compared in lower case): http 80, https 443, ftp 21,
    // ftps 990, sftp 22; -1 for any other.
    static int defaultPort(const QString& scheme);

    QString hostUtf8() const;
    QString hostPort(bool omitDefaultPort) const;
    QString tail() const;
    virtual QString toString(bool omitDefaultPort) const;
    void setTail(const QString& tail);
    bool isSecured() const;
};
