#pragma once

#include <QList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

// Keeps post pages offline and inside their own folder area; records what it blocks.
class COfflineRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setDocument(const QUrl &document) { document_ = document; }
    QUrl document() const { return document_; }
    const QList<QUrl> &blocked() const { return blocked_; }
    const QList<QUrl> &allowed() const { return allowed_; }
    void clearLog();

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QUrl document_;
    QList<QUrl> blocked_;
    QList<QUrl> allowed_;
};

// A post page only shows what the program opened: links, refreshes and redirects of
// a downloaded page do not navigate.
class CPostPage : public QWebEnginePage
{
    Q_OBJECT
public:
    CPostPage(QWebEngineProfile *profile, COfflineRequestGuard *guard, QObject *parent);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    COfflineRequestGuard *guard_;
};

// The embedded browser of the post panel. Downloaded pages are untrusted: their
// scripts do not run, nothing reaches the network, and they cannot read other local
// files. The program's own scripts run in the application world.
class CPostView : public QWebEngineView
{
    Q_OBJECT
public:
    explicit CPostView(QWidget *parent = nullptr);

    // Renders a local file (a path with "/" separators).
    void Navigate(const QString &localPath);
    QUrl currentDocument() const { return guard_->document(); }
    COfflineRequestGuard *guard() const { return guard_; }

private:
    COfflineRequestGuard *guard_;
};
