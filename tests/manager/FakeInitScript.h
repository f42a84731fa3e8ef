#pragma once
// A stand-in for "DaemonInitialization.sh" in a folder of its own: it logs every option it gets
// and answers from files the test writes ("status", "enabled", "enable", "disable"; missing
// means no output). "-start" and "-stop" switch the status file to 1 and 0 and print nothing.
// Every run is logged first, and its end as "<option> done"; while a "hang" file exists every
// run waits (30 s at most) before it acts, while a "hang-stop" file only the runs with "-stop".

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class FakeInitScript
{
public:
    FakeInitScript()
    {
        QFile script(path());
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n"
                     "dir=$(dirname \"$0\")\n"
                     "echo \"$1\" >> \"$dir/calls.log\"\n"
                     "i=0\n"
                     "while { [ -e \"$dir/hang\" ] || [ -e \"$dir/hang$1\" ]; } && [ $i -lt 600 ]; do\n"
                     "  sleep 0.05; i=$((i + 1))\n"
                     "done\n"
                     "case \"$1\" in\n"
                     "  -start) printf 1 > \"$dir/status\" ;;\n"
                     "  -stop) printf 0 > \"$dir/status\" ;;\n"
                     "  -status) cat \"$dir/status\" 2>/dev/null ;;\n"
                     "  -enabled) cat \"$dir/enabled\" 2>/dev/null ;;\n"
                     "  -enable) cat \"$dir/enable\" 2>/dev/null ;;\n"
                     "  -disable) cat \"$dir/disable\" 2>/dev/null ;;\n"
                     "esac\n"
                     "echo \"$1 done\" >> \"$dir/calls.log\"\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString path() const { return m_dir.filePath(QStringLiteral("DaemonInitialization.sh")); }

    void answer(const char* option, const QByteArray& output)
    {
        QFile file(m_dir.filePath(QString::fromLatin1(option)));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(output);
    }
    // option: only runs with that option hang ("-stop"); every run by default.
    void setHanging(bool hanging, const char* option = "")
    {
        const QByteArray name = QByteArray("hang") + option;
        if (hanging)
            answer(name.constData(), "");
        else
            QFile::remove(m_dir.filePath(QString::fromLatin1(name)));
    }
    QStringList calls() const
    {
        QFile log(m_dir.filePath(QStringLiteral("calls.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    int count(const QString& option) const { return calls().count(option); }

private:
    QTemporaryDir m_dir;
};
