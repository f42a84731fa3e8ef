#include "MyApplication.h"

#include "common/AgentSettings.h"
#include "themes/ThemeColors.h"
#include "themes/VektStyle.h"

#include <QDateTime>
#include <QFont>
#include <QPixmapCache>
#include <QSettings>

#include <cstring>

namespace {
constexpr int kBlockSize = 64;
constexpr int kHeartbeatOffset = 1;
} // namespace

quint32 heartbeatNow() { return static_cast<quint32>(QDateTime::currentSecsSinceEpoch()); }

MyApplication::MyApplication(int& argc, char** argv)
    : HandlingQuitSignalApp(argc, argv), sharedBlock(QStringLiteral("CORVANE_AGENT_MANAGER"))
{
}

MyApplication::~MyApplication()
{
    if (sharedBlock.isAttached()) {
        writeHeartbeat(0);
        sharedBlock.detach();
    }
}

void MyApplication::attachBlock()
{
    if (!sharedBlock.attach(QSharedMemory::ReadWrite) && !sharedBlock.create(kBlockSize, QSharedMemory::ReadWrite))
        sharedBlock.attach(QSharedMemory::ReadWrite);
    writeCommandByte(NoCommand);
}

void MyApplication::startUp()
{
    attachBlock();
    const std::unique_ptr<QSettings> settings = openAgentSettings();
    const QString themes = settingsFileDir(*settings) + QStringLiteral("themes/");
    loadThemes(themes + QStringLiteral("light.json"), themes + QStringLiteral("dark.json"),
               QStringLiteral(":/themes/light.json"), QStringLiteral(":/themes/dark.json"));
    QString theme = readSettingString(*settings, QStringLiteral("Common/ColorTheme"), QString());
    if (theme.isEmpty()) {
        // the desktop's own preference where one is stored natively, else light
        QSettings native(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
                         QSettings::NativeFormat);
        const bool light = native.value(QStringLiteral("AppsUseLightTheme"), 1).toInt() != 0
                           && native.value(QStringLiteral("SystemUsesLightTheme"), 1).toInt() != 0;
        theme = light ? QStringLiteral("light") : QStringLiteral("dark");
        writeSettingString(*settings, QStringLiteral("Common/ColorTheme"), theme);
    }
    applyTheme(theme);
    QFont appFont = font();
    appFont.setFamily(QStringLiteral("Segoe UI"));
    appFont.setPointSize(9);
    setFont(appFont);
}

void MyApplication::writeCommandByte(quint8 value)
{
    if (!sharedBlock.isAttached() || !sharedBlock.lock())
        return;
    static_cast<quint8*>(sharedBlock.data())[0] = value;
    sharedBlock.unlock();
}

quint8 MyApplication::takeCommandByte()
{
    if (!sharedBlock.isAttached() || !sharedBlock.lock())
        return NoCommand;
    auto* bytes = static_cast<quint8*>(sharedBlock.data());
    const quint8 command = bytes[0];
    bytes[0] = NoCommand;
    sharedBlock.unlock();
    return command;
}

void MyApplication::writeHeartbeat(quint32 seconds)
{
    if (!sharedBlock.isAttached() || !sharedBlock.lock())
        return;
    std::memcpy(static_cast<char*>(sharedBlock.data()) + kHeartbeatOffset, &seconds, sizeof seconds);
    sharedBlock.unlock();
}

quint32 MyApplication::readHeartbeat()
{
    quint32 seconds = 0;
    if (!sharedBlock.isAttached() || !sharedBlock.lock())
        return seconds;
    std::memcpy(&seconds, static_cast<const char*>(sharedBlock.constData()) + kHeartbeatOffset, sizeof seconds);
    sharedBlock.unlock();
    return seconds;
}

QPalette themePalette(const QPalette& base, const ThemeColors& c)
{
    QPalette p = base;
    const std::pair<QPalette::ColorRole, QColor> all[] = {
        {QPalette::Window, c.Window_Bgr},           {QPalette::Button, c.Window_Bgr},
        {QPalette::Highlight, c.Window_Highlight},  {QPalette::HighlightedText, c.Text_Default},
        {QPalette::ButtonText, c.ButtonText_Default}, {QPalette::Base, c.Window_Bgr},
        {QPalette::Text, c.Text_Default},           {QPalette::WindowText, c.Text_Default},
    };
    for (const auto& [role, color] : all)
        p.setBrush(QPalette::All, role, QBrush(color));
    p.setBrush(QPalette::Disabled, QPalette::Base, QBrush(c.TextEdit_Disabled_Border_InnerLine));
    p.setBrush(QPalette::Disabled, QPalette::Text, QBrush(c.Text_Default_Disabled));
    p.setBrush(QPalette::Disabled, QPalette::WindowText, QBrush(c.Text_Default_Disabled));
    p.setBrush(QPalette::All, QPalette::Mid, QBrush(c.Window_Dark));
    p.setBrush(QPalette::All, QPalette::Light, QBrush(c.Window_Light));
    p.setBrush(QPalette::All, QPalette::Dark, QBrush(c.Window_Dark));
    return p;
}

void MyApplication::applyTheme(const QString& name)
{
    isDarkTheme = name == QLatin1String("dark");
    activeColors = isDarkTheme ? &darkColors : &lightColors;
    auto* style = new VektStyle(activeColors);
    style->loadPixmaps(isDarkTheme);
    setStyle(style); // the application owns it and frees the previous one
    setPalette(themePalette(palette(), *activeColors));
    QPixmapCache::clear();
}
