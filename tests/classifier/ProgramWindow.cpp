#include "ProgramWindow.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <X11/Xlib.h>

namespace {
// A window that went away meanwhile must not end the test program.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

QString run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(tool), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

bool WindowToolsAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty();
}

ProgramWindow FindProgramWindow(qint64 pid, const QString &title)
{
    // The test's own windows may carry the same title: the process id tells them apart.
    const QRegularExpression line(
            QStringLiteral("^\\s*(0x[0-9a-f]+) \"%1\"").arg(QRegularExpression::escape(title)),
            QRegularExpression::MultilineOption);
    const QString wanted = QStringLiteral("_NET_WM_PID(CARDINAL) = %1").arg(pid);
    const QString tree =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    for (const QRegularExpressionMatch &match : line.globalMatch(tree)) {
        const QString properties =
                run(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), match.captured(1), QStringLiteral("_NET_WM_PID"),
                     QStringLiteral("WM_CLASS"), QStringLiteral("_NET_WM_ICON")});
        if (properties.contains(wanted))
            return {match.captured(1), properties};
    }
    return {};
}

bool IsWindowViewable(const QString &id)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id})
            .contains(QStringLiteral("Map State: IsViewable"));
}

bool CloseWindow(const QString &id)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XSetErrorHandler(ignoreXError);
    bool ok = false;
    const Window window = Window(id.toULong(&ok, 16));
    if (ok) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        ok = XSendEvent(display, window, False, NoEventMask, &event) != 0;
        XSync(display, False);
    }
    XCloseDisplay(display);
    return ok;
}
