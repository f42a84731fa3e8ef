// The manager program, for tests that run it as another user: every message box it opens is
// answered Ok at once, and its title and text are printed, so its exit code can be seen.
#include "app/ManagerStartup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {

void answerMessageBoxes()
{
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        std::printf("%s|%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
        std::fflush(stdout);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    timer->start(10);
}

} // namespace

// runs as soon as the manager has built its application object
Q_COREAPP_STARTUP_FUNCTION(answerMessageBoxes)

int main(int argc, char** argv) { return runManager(argc, argv); }
