#include "base/Clock.h"
#include "base/GuardedApplication.h"
#include "app/QuorvelApp.h"
#include "base/SettingsStore.h"
#include "base/SignalPipe.h"
#include "tasks/TaskFile.h"
#include "ui/IconTheme.h"
#include "ui/MainForm.h"
#include "ui/ProgramPalette.h"
#include "ui/ProgramWiring.h"
#include "ui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char* argv[])
{
    TGuardedApplication<QApplication> app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Brindlecove Software"));
    // The installed desktop entry's name, so the desktop matches the window to its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quorvel.Quorvel"));
    UseIconTheme();

    // "--screenshot <folder>" saves pictures of the windows for the documentation and ends.
    QStringList args = QApplication::arguments().mid(1);
    QString screenshotDir;
    if (const qsizetype at = args.indexOf(QStringLiteral("--screenshot")); at >= 0) {
        screenshotDir = args.value(at + 1, QDir::currentPath());
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    // "--quit-after-start" closes the window as soon as it has started: a check that the
    // installed program starts at all.
    const bool quitAfterStart = args.removeAll(QStringLiteral("--quit-after-start")) > 0;
    UseDesktopPalette(args);

    TSettingsStore store;
    // No settings yet: a new user, who is guided through the server and the From address.
    const bool firstStart = !QFileInfo::exists(store.FileName());
    TMainForm form;
    TQuorvelApp logic(form, store, TClock::System());
    TProgramWiring wiring(form, logic);
    form.AttachLayoutStore(store);
    // A window can end at any moment too (a kill, a crash, the machine going down): its tasks
    // stay in the task file until they are done, and go on from the journal when reloaded.
    logic.TaskFile().KeepQueue(true);
    app.SetExceptionHandler([&logic](const QString& message) { logic.OnException(message); });

    logic.FormCreate(args);
    form.show();
    logic.FormShow();
    logic.InstallIdleHook();
    // A second window (or a terminal run) on the same data folder would post the same
    // queue twice: only one owns it.
    if (const QString busy = logic.TakeQueue(); !busy.isEmpty())
        QTimer::singleShot(0, &form, [&form, busy] {
            form.ShowWarning(QStringLiteral("This window is read-only: %1.\nIt runs no task and "
                                            "leaves the task file to the other program.")
                                 .arg(busy));
        });
    else // work left from an earlier run is listed in the queue panel and offered
        wiring.ShowKeptTasks();
    // A logout or shutdown closes the window as Exit does: the work left is saved, and so
    // are the settings.
    TSignalPipe signalPipe;
    QObject::connect(&signalPipe, &TSignalPipe::Interrupted, &form,
                     [] { QApplication::closeAllWindows(); }); // open dialogs too
    if (firstStart && !quitAfterStart && screenshotDir.isEmpty())
        QTimer::singleShot(0, &form, [&form] { form.OpenFirstStart(); });

    if (!screenshotDir.isEmpty()) {
        QTimer::singleShot(800, &form, [&form, screenshotDir] {
            TakeScreenshots(form, screenshotDir);
            form.close();
        });
    }
    if (quitAfterStart)
        QTimer::singleShot(0, &form, &QWidget::close);
    const int result = app.exec();
    logic.FormDestroy();
    return result;
}
