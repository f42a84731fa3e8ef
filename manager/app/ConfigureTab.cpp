#include "ConfigureTab.h"

#include "AgentStatusController.h"
#include "MainWindow.h"
#include "MyApplication.h"
#include "WindowBusyScope.h"
#include "common/AgentSettings.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektPushButton.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSslCertificate>
#include <QSslKey>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kSslTransport = 1;

QString key(const char* name) { return QString::fromLatin1(name); }

template <class W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* fieldLabel(const char* text)
{
    auto* label = new QLabel(QString::fromLatin1(text));
    QFont font = label->font();
    font.setFamily(QStringLiteral("Segoe UI Semibold"));
    label->setFont(font);
    label->setMinimumWidth(110);
    return label;
}

QSpinBox* portBox(const char* name)
{
    auto* box = named(new QSpinBox, name);
    box->setRange(0, 65535);
    return box;
}

QLabel* description(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

bool isValidIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || value < 0 || value > 255)
            return false;
    }
    return true;
}

ConfigureTab::ConfigureTab(MainWindow* mainWindow, QSettings* settings)
    : QWidget(mainWindow), m_mainWindow(mainWindow), m_settings(settings)
{
    buildForm();
    QString id;
    m_connectionId->setText(computeConnectionId(*m_settings, id) ? id : QStringLiteral("Can't generate connection Id: ") + id);

    for (QRadioButton* mode : {m_active, m_passive}) {
        connect(mode, &QRadioButton::clicked, this, &ConfigureTab::setChanged);
        connect(mode, &QRadioButton::clicked, this, &ConfigureTab::refreshGBEnableDisable);
    }
    connect(m_useBuiltInPython, &QCheckBox::clicked, this, &ConfigureTab::setChanged);
    connect(m_useBuiltInPython, &QCheckBox::clicked, this, &ConfigureTab::onUseBuiltInPythonChanged);
    connect(m_autostart, &QCheckBox::clicked, this, &ConfigureTab::setChanged);
    for (QLineEdit* edit : {m_passiveInterface, m_activeHost, m_pythonPath})
        connect(edit, &QLineEdit::textEdited, this, &ConfigureTab::setChanged);
    for (QSpinBox* box : {m_passivePort, m_activePort, m_trapPort, m_syslogPort})
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &ConfigureTab::setChanged);
    for (QLineEdit* edit : {m_sslCert, m_sslKey})
        connect(edit, &QLineEdit::textChanged, this, &ConfigureTab::setChanged);
    connect(m_browsePython, &QPushButton::clicked, this, &ConfigureTab::onBrowseCustomPython);
    for (QRadioButton* theme : {m_lightTheme, m_darkTheme})
        connect(theme, &QRadioButton::clicked, this, &ConfigureTab::onThemeRadioClicked);
    connect(findChild<QPushButton*>(QStringLiteral("bSslCert")), &QPushButton::clicked, this, [this] { onCertKeyPathClick(0); });
    connect(findChild<QPushButton*>(QStringLiteral("bSslKey")), &QPushButton::clicked, this, [this] { onCertKeyPathClick(1); });
    connect(m_apply, &QPushButton::clicked, this, &ConfigureTab::on_bApply_clicked);
    connect(static_cast<QPushButton*>(m_cancel), &QPushButton::clicked, this, &ConfigureTab::on_bCancel_clicked);
    loadSettings();
}

void ConfigureTab::buildForm()
{
    setObjectName(QStringLiteral("ConfigureTab"));
    setWindowTitle(QStringLiteral("Configure Tab"));
    auto* layout = new QVBoxLayout(this);

    m_agentGroup = named(new VektGroupBox(QStringLiteral("Agent mode")), "agentGroupBox");
    m_agentGroup->setState(2);
    auto* agentLayout = new QVBoxLayout(m_agentGroup);
    agentLayout->addWidget(description(QStringLiteral("Remote Network Agent can be active or passive. Active agent connects to the %1 "
                                                      "service; passive agent listens to the specified TCP port and waits for "
                                                      "service connection.")
                                           .arg(QStringLiteral("Corvane Monitor Agent"))));
    auto* modes = new QHBoxLayout;
    m_active = named(new QRadioButton(QStringLiteral("Active")), "rbActive");
    m_passive = named(new QRadioButton(QStringLiteral("Passive")), "rbPassive");
    for (QRadioButton* mode : {m_active, m_passive}) {
        QFont font = mode->font();
        font.setFamily(QStringLiteral("Segoe UI Semibold"));
        mode->setFont(font);
        modes->addWidget(mode);
    }
    modes->addStretch();
    agentLayout->addLayout(modes);
    m_passiveSettings = named(new QWidget, "passiveSettings");
    auto* passiveForm = new QFormLayout(m_passiveSettings);
    m_passiveInterface = named(new QLineEdit, "ePassiveInterface");
    m_passiveInterface->setInputMask(QStringLiteral("000.000.000.000"));
    m_passiveInterface->setToolTip(QStringLiteral("0.0.0.0 to listen all interfaces"));
    m_passivePort = portBox("sbPassivePort");
    passiveForm->addRow(fieldLabel("Network Interface"), m_passiveInterface);
    passiveForm->addRow(fieldLabel("Listening TCP port"), m_passivePort);
    m_activeSettings = named(new QWidget, "activeSettings");
    auto* activeForm = new QFormLayout(m_activeSettings);
    m_activeHost = named(new QLineEdit, "eActiveServiceHost");
    m_activePort = portBox("sbActivePort");
    activeForm->addRow(fieldLabel("Main Service Host"), m_activeHost);
    activeForm->addRow(fieldLabel("Main Service Port"), m_activePort);
    agentLayout->addWidget(m_passiveSettings);
    agentLayout->addWidget(m_activeSettings);
    layout->addWidget(m_agentGroup);

    auto* sslGroup = named(new VektGroupBox(QStringLiteral("Connection security settings")), "sslGroupBox");
    sslGroup->setState(1);
    auto* sslForm = new QFormLayout(sslGroup);
    auto pathRow = [&](const char* editName, const char* buttonName, const char* label) {
        auto* edit = named(new QLineEdit, editName);
        auto* button = named(new VektPushButton(QStringLiteral("...")), buttonName);
        button->setMaximumWidth(30);
        button->buttonKind = 11;
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(button);
        sslForm->addRow(fieldLabel(label), row);
        return edit;
    };
    m_sslCert = pathRow("eSslCert", "bSslCert", "Public certificate file path");
    m_sslKey = pathRow("eSslKey", "bSslKey", "Private key file path");
    sslForm->addRow(description(QStringLiteral("Public certificate and private key file are used to establish SSL connection to "
                                               "the %1 service.")
                                    .arg(QStringLiteral("Corvane Monitor"))));
    m_connectionId = named(new QLineEdit, "eConnId");
    m_connectionId->setReadOnly(true);
    sslForm->addRow(fieldLabel("ConnectionID string"), m_connectionId);
    sslForm->addRow(description(QStringLiteral("Remote Network Agent sends ConnectionID after connection with the %1 service is "
                                               "established. Service identifies agents by this unique string.")
                                    .arg(QStringLiteral("Corvane Monitor"))));
    layout->addWidget(sslGroup);

    auto* portsGroup = named(new VektGroupBox(QStringLiteral("Ports for passive monitors")), "passiveMonitorsSettingsGroupBox");
    portsGroup->setState(2);
    auto* portsForm = new QFormLayout(portsGroup);
    m_syslogPort = portBox("sbSyslogReceiverPort");
    m_trapPort = portBox("sbSnmpTrapReceiverPort");
    portsForm->addRow(fieldLabel("Syslog receiver UDP port"), m_syslogPort);
    portsForm->addRow(fieldLabel("SNMP traps receiver UDP port"), m_trapPort);
    layout->addWidget(portsGroup);

    auto* pythonGroup = named(new VektGroupBox(QStringLiteral("Python interpreter settings")), "pythonSettingsGroupBox");
    pythonGroup->setState(2);
    auto* pythonLayout = new QVBoxLayout(pythonGroup);
    QFont bold = font();
    bold.setFamily(QStringLiteral("Segoe UI Semibold"));
    bold.setBold(true);
    m_useBuiltInPython = named(new VektCheckBox, "useBuiltInPython");
    m_useBuiltInPython->setText(QStringLiteral("Use built-in Python-3 interpreter"));
    m_useBuiltInPython->setFont(bold);
    m_useBuiltInPython->hide();
    pythonLayout->addWidget(m_useBuiltInPython);
    auto* pythonRow = new QHBoxLayout;
    m_pythonPathLabel = named(new QLabel(QStringLiteral("Path to python")), "pythonPathLabel");
    m_pythonPathLabel->setFont(bold);
    m_pythonPath = named(new QLineEdit, "pythonExePath");
    m_defaultPythonPath = named(new QLineEdit, "defaultPythonExePath");
    m_defaultPythonPath->setEnabled(false);
    m_browsePython = named(new VektPushButton(QStringLiteral("...")), "customPythonBrowseButton");
    pythonRow->addWidget(m_pythonPathLabel);
    pythonRow->addWidget(m_pythonPath);
    pythonRow->addWidget(m_defaultPythonPath);
    pythonRow->addWidget(m_browsePython);
    pythonLayout->addLayout(pythonRow);
    layout->addWidget(pythonGroup);

    auto* themeRow = named(new QWidget, "themeRow");
    auto* themeLayout = new QHBoxLayout(themeRow);
    themeLayout->addWidget(named(new QLabel(QStringLiteral("Theme:")), "lblTheme"));
    m_lightTheme = named(new QRadioButton(QStringLiteral("Light")), "rbLightTheme");
    m_darkTheme = named(new QRadioButton(QStringLiteral("Dark")), "rbDarkTheme");
    themeLayout->addWidget(m_lightTheme);
    themeLayout->addWidget(m_darkTheme);
    themeLayout->addStretch();
    layout->addWidget(themeRow);

    auto* autostartRow = named(new QWidget, "widget");
    auto* autostartLayout = new QHBoxLayout(autostartRow);
    m_autostart = named(new QCheckBox(QStringLiteral("Start agent automatically on system start-up")), "checkBox");
    QFont semibold = m_autostart->font();
    semibold.setFamily(QStringLiteral("Segoe UI Semibold"));
    m_autostart->setFont(semibold);
    autostartLayout->addWidget(m_autostart);
    layout->addWidget(autostartRow);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    layout->addWidget(line);
    auto* buttons = new QHBoxLayout;
    m_apply = named(new VektPushButton(QStringLiteral("Apply changes")), "bApply");
    m_apply->buttonKind = 14;
    m_cancel = named(new QPushButton(QStringLiteral("Cancel")), "bCancel");
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    buttons->addWidget(named(new QPushButton(QStringLiteral("Close")), "bHide"));
    layout->addLayout(buttons);
}

QString ConfigureTab::storedTheme() const { return readSettingString(*m_settings, key("Common/ColorTheme"), QString()); }

QString ConfigureTab::chosenTheme() const { return m_darkTheme->isChecked() ? QStringLiteral("dark") : QStringLiteral("light"); }

void ConfigureTab::warn(const QString& text)
{
    QMessageBox::warning(m_mainWindow, QStringLiteral("Error"), text, QMessageBox::Ok);
}

void ConfigureTab::loadSettings()
{
    const WindowBusyScope busy;
    m_settings->sync();
    {
        const QSignalBlocker host(m_activeHost), port(m_activePort);
        m_activeHost->setText(readSettingString(*m_settings, key("ActiveAgentSettings/Host"), QString()));
        m_activePort->setValue(readSettingInt(*m_settings, key("ActiveAgentSettings/Port"), 0));
    }
    if (m_autostart->isEnabled()) {
        CServiceManager& service = m_mainWindow->controller()->serviceManager();
        const QSignalBlocker blocker(&service);
        const bool enabled = service.isDaemonAutostartEnabled();
        if (!service.lastError().isEmpty()) {
            m_autostart->setEnabled(false);
            warn(QStringLiteral("Can't define 'Agent autostart' value: feature is disabled. Error message: %1").arg(service.lastError()));
        } else {
            m_autostart->setChecked(enabled);
        }
    }
    SAgentConnectionSettings server;
    if (readAgentServer(*m_settings, 0, server)) {
        const QSignalBlocker host(m_passiveInterface), port(m_passivePort);
        m_passiveInterface->setText(server.host);
        m_passivePort->setValue(server.port);
    }
    SAgentConnectionSettings ssl;
    readSslSettings(*m_settings, kSslTransport, ssl);
    {
        const QSignalBlocker cert(m_sslCert), keyPath(m_sslKey);
        m_sslCert->setText(ssl.certificatePath);
        m_sslKey->setText(ssl.privateKeyPath);
    }
    const bool passive = agentTypeFromInt(readSettingInt(*m_settings, key("Common/AgentType"), 0)) != 0;
    (passive ? m_passive : m_active)->setChecked(true);
    {
        const QSignalBlocker trap(m_trapPort), syslog(m_syslogPort);
        m_trapPort->setValue(readSettingInt(*m_settings, key("SNMP/UDPTrapReceiverPort"), 162));
        m_syslogPort->setValue(readSettingInt(*m_settings, key("Syslog/UDPReceiverPort"), 514));
    }
    m_useBuiltInPython->setChecked(readSettingInt(*m_settings, key("Python/UseBuiltInPython"), 1) != 0);
    m_pythonPath->setText(readSettingString(*m_settings, key("Python/CustomPythonPath"), QString()));
    m_defaultPythonPath->setText(QFileInfo(QCoreApplication::applicationDirPath()).path() + QStringLiteral("/Python-3/python.exe"));
    // the same visibility and enabled states a click gives
    onUseBuiltInPythonChanged();
    (storedTheme() == QLatin1String("dark") ? m_darkTheme : m_lightTheme)->setChecked(true);
    refreshGBEnableDisable();
    m_isChanged = false;
    m_isThemeChanged = false;
    m_apply->setEnabled(false);
    m_cancel->setEnabled(false);
}

void ConfigureTab::refreshGBEnableDisable()
{
    m_activeSettings->setVisible(m_active->isChecked());
    m_passiveSettings->setVisible(m_passive->isChecked());
}

void ConfigureTab::onUseBuiltInPythonChanged()
{
    const bool builtIn = m_useBuiltInPython->isChecked();
    m_defaultPythonPath->setVisible(builtIn);
    m_pythonPath->setVisible(!builtIn);
    m_pythonPathLabel->setEnabled(!builtIn);
    m_browsePython->setEnabled(!builtIn);
}

void ConfigureTab::setChanged()
{
    m_isChanged = true;
    emit changed();
    refreshApplyCancel();
}

void ConfigureTab::refreshApplyCancel()
{
    const bool any = m_isChanged || m_isThemeChanged;
    m_apply->setEnabled(any);
    m_cancel->setEnabled(any);
}

void ConfigureTab::onThemeRadioClicked()
{
    m_isThemeChanged = chosenTheme() != storedTheme();
    if (m_isThemeChanged)
        emit changed();
    refreshApplyCancel();
}

void ConfigureTab::on_bApply_clicked() { saveSettings(true); }

void ConfigureTab::on_bCancel_clicked() { loadSettings(); }

void ConfigureTab::onBrowseCustomPython()
{
    const QString start = QFileInfo(QFileInfo(m_pythonPath->text()).path()).absoluteFilePath();
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Browse to python"), start,
                                                        tr("Python interpreter executable (python python3)"), nullptr,
                                                        QFileDialog::ReadOnly);
    if (chosen.isEmpty())
        return;
    m_pythonPath->setText(chosen);
    setChanged();
}

void ConfigureTab::onCertKeyPathClick(int _certKey)
{
    QLineEdit* edit = _certKey == 0 ? m_sslCert : m_sslKey;
    const QString start = QFileInfo(QFileInfo(edit->text()).path()).absoluteFilePath();
    const QString filter = QString::fromLatin1(_certKey == 0 ? "SSL certificate files (*.cert *.crt)" : "SSL private key files (*.key *.pkey)")
                           + QStringLiteral(";;All files(*.*)");
    const QString chosen = QFileDialog::getOpenFileName(
        this, QString::fromLatin1(_certKey == 0 ? "SSL certificate file" : "SSL private key file"), start, filter);
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

bool ConfigureTab::confirmFile(const QString& path, const QString& description)
{
    if (QFileInfo::exists(path))
        return true;
    return QMessageBox::warning(m_mainWindow, QStringLiteral("Error"),
                                QStringLiteral("Can't find '%1' %2. Do you want to proceed anyway?").arg(path, description),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

bool ConfigureTab::validateSettings()
{
    if (!m_active->isChecked() && !isValidIPv4(m_passiveInterface->text())) {
        warn(QStringLiteral("Network interface is not valid"));
        return false;
    }
    const QString certPath = m_sslCert->text();
    const QString keyPath = m_sslKey->text();
    if (!confirmFile(certPath, QStringLiteral("SSL public certificate file")) || !confirmFile(keyPath, QStringLiteral("SSL private key file")))
        return false;
    // an existing file that cannot be read counts as not valid
    QFile certFile(certPath);
    if (QFileInfo::exists(certPath)) {
        certFile.open(QIODevice::ReadOnly);
        if (QSslCertificate(&certFile, QSsl::Pem).isNull()) {
            warn(QStringLiteral("'%1'' file is not a valid SSL public certificate in PEM format.").arg(certPath));
            return false;
        }
    }
    QFile keyFile(keyPath);
    if (QFileInfo::exists(keyPath)) {
        keyFile.open(QIODevice::ReadOnly);
        if (QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey, QByteArray()).isNull()) {
            warn(QStringLiteral("'%1'' file is not a valid SSL private RSA key in PEM format.").arg(keyPath));
            return false;
        }
    }
    return true;
}

bool ConfigureTab::saveSettings(bool askToRestart)
{
    const WindowBusyScope busy; // the theme's rebuild waits for the messages and the restart question
    const bool wasChanged = m_isChanged;
    if (!validateSettings())
        return false;
    QSettings& s = *m_settings;
    writeSettingInt(s, key("Common/AgentType"), m_active->isChecked() ? 0 : 1);
    writeSettingString(s, key("ActiveAgentSettings/Host"), m_activeHost->text());
    writeSettingInt(s, key("ActiveAgentSettings/Port"), m_activePort->value());
    writeSettingInt(s, key("SNMP/UDPTrapReceiverPort"), m_trapPort->value());
    writeSettingInt(s, key("Syslog/UDPReceiverPort"), m_syslogPort->value());
    writeSettingInt(s, key("Python/UseBuiltInPython"), m_useBuiltInPython->isChecked() ? 1 : 0);
    writeSettingString(s, key("Python/CustomPythonPath"), m_pythonPath->text());

    const QString theme = chosenTheme();
    if (theme != storedTheme()) {
        writeSettingString(s, key("Common/ColorTheme"), theme);
        if (auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance())) {
            app->applyTheme(theme);
            QTimer::singleShot(0, app, &MyApplication::emitThemeSwitched);
        }
    }
    if (m_autostart->isEnabled()) {
        CServiceManager& service = m_mainWindow->controller()->serviceManager();
        const QSignalBlocker blocker(&service);
        if (!service.setDaemonAutostart(m_autostart->isChecked())) {
            warn(QStringLiteral("Can't change 'agent autostart' value: %1\r\nRestoring the old one...").arg(service.lastError()));
            m_autostart->setChecked(service.isDaemonAutostartEnabled());
            if (!service.lastError().isEmpty()) {
                warn(QStringLiteral("Can't restore the 'agent autostart' value: %1\r\nFeature is disabled").arg(service.lastError()));
                m_autostart->setEnabled(false);
            }
        }
    }
    writeAgentServersAddress(s, m_passiveInterface->text(), static_cast<quint16>(m_passivePort->value()));
    m_isChanged = false;
    m_isThemeChanged = false;
    m_apply->setEnabled(false);
    m_cancel->setEnabled(false);
    SAgentConnectionSettings ssl;
    readSslSettings(s, kSslTransport, ssl);
    ssl.certificatePath = m_sslCert->text();
    ssl.privateKeyPath = m_sslKey->text();
    writeSslSettings(s, kSslTransport, ssl);
    // a start that follows reads the new values
    s.sync();
    emit settingsAppliedToINIFile(wasChanged && askToRestart);
    return true;
}
