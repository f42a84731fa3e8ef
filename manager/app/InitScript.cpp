#include "InitScript.h"

#include "common/TestTimeScale.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

QString defaultInitScriptPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/DaemonInitialization.sh");
}

int parseInitScriptAnswer(const QByteArray& output)
{
    bool ok = false;
    const int value = output.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

InitScriptResult runInitScript(const QString& program, const QString& option, int timeoutMs)
{
    InitScriptResult result;
    timeoutMs = zam::scaledMs(timeoutMs);
    const QString name = QFileInfo(program).fileName() + QLatin1Char(' ') + option;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, {option}, QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs)) {
        result.error = QStringLiteral("Can't run %1: %2").arg(name, process.errorString());
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.error = QStringLiteral("%1 did not finish within %2 s").arg(name).arg(timeoutMs / 1000.0);
        return result;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        result.error = QStringLiteral("%1 ended abnormally").arg(name);
        return result;
    }
    result.ran = true;
    result.output = process.readAllStandardOutput();
    result.answer = parseInitScriptAnswer(result.output);
    return result;
}
