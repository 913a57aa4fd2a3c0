#pragma once

// Waiting on a post view in the GUI tests.

#include "browser/posts/CPostView.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <functional>

// Runs a script of the program's own (application world) and waits for its answer.
inline QVariant evaluate(CPostView *view, const QString &script)
{
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [&](const QVariant &value) {
                                    result = value;
                                    done = true;
                                });
    if (!QTest::qWaitFor([&] { return done; }, 15000))
        qWarning("script did not answer: %s", qPrintable(script));
    return result;
}

// Runs an action and waits until the view has loaded what it navigated to.
inline bool loads(CPostView *view, const std::function<void()> &action)
{
    QSignalSpy finished(view->page(), &QWebEnginePage::loadFinished);
    action();
    return finished.wait(20000) || !finished.isEmpty();
}

inline QString bodyText(CPostView *view)
{
    return evaluate(view, QStringLiteral("document.body ? document.body.innerText : ''"))
            .toString();
}

inline QString designMode(CPostView *view)
{
    return evaluate(view, QStringLiteral("document.designMode")).toString();
}
