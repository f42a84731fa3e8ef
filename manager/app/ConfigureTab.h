#pragma once
// The editor of the daemon's settings file: agent mode, the service's host and port (active)
// or the listening interface and port (passive), certificate and key, the receivers' UDP ports,
// the Python interpreter, the manager's theme and the daemon's start at system start-up.
// Edits stay in the form until Apply; Cancel reloads the file. A child of the main window;
// GUI thread only; the settings object belongs to the main window.

#include <QWidget>

class MainWindow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSettings;
class QSpinBox;
class VektCheckBox;
class VektGroupBox;
class VektPushButton;

class ConfigureTab : public QWidget
{
    Q_OBJECT
public:
    ConfigureTab(MainWindow* mainWindow, QSettings* settings);

    bool isChanged() const { return m_isChanged; }
    bool isThemeChanged() const { return m_isThemeChanged; }

    void loadSettings();
    bool validateSettings();
    // Validates, writes the file (and syncs it), applies a changed theme and announces it once
    // the save has returned; false with nothing written when validation fails.
    bool saveSettings(bool askToRestart);

signals:
    void changed();
    void settingsAppliedToINIFile(bool _askToRestartAgent);

public slots:
    void setChanged();
    void onThemeRadioClicked();
    void on_bApply_clicked();
    void on_bCancel_clicked();
    void onUseBuiltInPythonChanged();
    void onBrowseCustomPython();
    void refreshGBEnableDisable();
    void onCertKeyPathClick(int _certKey);

private:
    void buildForm();
    void refreshApplyCancel();
    QString chosenTheme() const;
    QString storedTheme() const;
    bool confirmFile(const QString& path, const QString& description);
    void warn(const QString& text);

    MainWindow* m_mainWindow;
    QSettings* m_settings; // not owned
    bool m_isChanged = false;
    bool m_isThemeChanged = false;

    VektGroupBox* m_agentGroup;
    QRadioButton* m_active;
    QRadioButton* m_passive;
    QWidget* m_passiveSettings;
    QLineEdit* m_passiveInterface;
    QSpinBox* m_passivePort;
    QWidget* m_activeSettings;
    QLineEdit* m_activeHost;
    QSpinBox* m_activePort;
    QLineEdit* m_sslCert;
    QLineEdit* m_sslKey;
    QLineEdit* m_connectionId;
    QSpinBox* m_syslogPort;
    QSpinBox* m_trapPort;
    VektCheckBox* m_useBuiltInPython;
    QLabel* m_pythonPathLabel;
    QLineEdit* m_pythonPath;
    QLineEdit* m_defaultPythonPath;
    VektPushButton* m_browsePython;
    QRadioButton* m_lightTheme;
    QRadioButton* m_darkTheme;
    QCheckBox* m_autostart;
    VektPushButton* m_apply;
    QWidget* m_cancel;
};

// Four dot-separated decimal numbers, each 0 to 255.
bool isValidIPv4(const QString& text);
