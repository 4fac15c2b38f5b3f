#include "app/AppState.h"
#include "app/Clock.h"
#include "app/SessionLog.h"
#include "ui/MainForm.h"
#include "ui/QuorvelApplication.h"
#include "ui/ScreenshotTour.h"

#include <QDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    TQuorvelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Brindlecove Software"));
    TQuorvelApplication::UseIconTheme();

    // "--screenshot <folder>" saves pictures of the windows for the documentation and ends.
    QStringList args = QApplication::arguments().mid(1);
    QString screenshotDir;
    if (const qsizetype at = args.indexOf(QStringLiteral("--screenshot")); at >= 0) {
        screenshotDir = args.value(at + 1, QDir::currentPath());
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }

    TAppState state;
    state.ProgramDir = ResolveProgramDir();
    state.VersionText = BuildVersionText();
    state.SetProfile(args.isEmpty() ? QStringLiteral("Default") : args.constFirst());
    state.Settings.LastDir = state.ProgramDir;
    TSessionLog sessionLog(TClock::System());

    TMainForm form;
    form.AttachState(state);
    form.AttachSessionLog(sessionLog);
    form.ShowProfiles({state.ProfileName}, 0);
    form.SetCaption();
    form.SetSubjectText(state.Settings.LastSubject);
    form.SetFolderPath(state.Settings.LastDir);
    app.SetExceptionHandler([&form](const QString& message) {
        form.ShowWarning(QStringLiteral("An unexpected error has occured: %1").arg(message));
        form.close();
    });
    form.show();
    sessionLog.AddLine(QStringLiteral("Startup"));

    if (!screenshotDir.isEmpty()) {
        QTimer::singleShot(800, &form, [&form, screenshotDir] {
            TakeScreenshots(form, screenshotDir);
            QApplication::quit();
        });
    }
    return app.exec();
}
