#pragma once
#include <QString>
#include <memory>

class ZamQSettings;

// Common settings: the INI file given (normally configDir() + "zam.ini") plus the system
// and user scoped native settings of "Corvane Monitor" / "Corvane Monitor Client".
// Owned by its creator; not shared between threads.
class ZamCommonSettings
{
public:
    explicit ZamCommonSettings(const QString& fileName);
    ZamCommonSettings(const ZamCommonSettings& other);
    ZamCommonSettings& operator=(const ZamCommonSettings&) = delete;
    virtual ~ZamCommonSettings();

    QString fileName() const { return m_fileName; }
    ZamQSettings& fileSettings() { return *m_file; }
    ZamQSettings& systemSettings() { return *m_system; }
    ZamQSettings& userSettings() { return *m_user; }

    // "Debug/PeriodicStatistics" from the file settings, false when absent.
    bool periodicStatistics();

private:
    QString m_fileName;
    std::unique_ptr<ZamQSettings> m_file;
    std::unique_ptr<ZamQSettings> m_system;
    std::unique_ptr<ZamQSettings> m_user;
};
