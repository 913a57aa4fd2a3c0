#pragma once

#include "browser/posts/PostSandbox.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <optional>
#include <string>

// Keeps post pages offline and inside their own folders; records what it let through
// and what it blocked for the page shown last (a bounded log, emptied on each load).
class COfflineRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    static constexpr qsizetype LogLimit = 256;

    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setSandbox(const PostSandbox &sandbox);
    const PostSandbox &sandbox() const { return sandbox_; }
    QUrl document() const { return sandbox_.url(); }
    const QList<QUrl> &blocked() const { return blocked_; }
    const QList<QUrl> &allowed() const { return allowed_; }
    void clearLog();

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    static void record(QList<QUrl> &log, const QUrl &url);

    PostSandbox sandbox_;
    QList<QUrl> blocked_;
    QList<QUrl> allowed_;
};

// A post page only shows what the program opened: links, refreshes (of the page itself
// too), redirects and frames of a downloaded page do not navigate; an anchor of the page
// itself does.
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

// The embedded browser of the post panel and of the full-screen window. Downloaded
// pages are untrusted: their scripts do not run, nothing reaches the network, and
// they read no local file outside their own folder and archive. The program's own
// scripts run in the application world.
class CPostView : public QWebEngineView
{
    Q_OBJECT
public:
    explicit CPostView(QWidget *parent = nullptr);

    // Renders a local file. path and archiveFolder are GBK paths ("\" or "/");
    // archiveFolder may be empty (the file's own folder only).
    void Navigate(const std::string &path, const std::string &archiveFolder = std::string());
    QUrl currentDocument() const { return guard_->document(); }
    COfflineRequestGuard *guard() const { return guard_; }

    // The next post navigated to shows the matches of these patterns (HitHighlight.h)
    // marked, also when it is shown again later; empty: that post shows none.
    void MarkHitsOfNextPost(const QStringList &patterns);

Q_SIGNALS:
    // The hits of the page just loaded are marked: how many there are.
    void hitsMarked(int count);

private:
    void markHits();

    COfflineRequestGuard *guard_;
    std::optional<QStringList> nextHits_;
    QHash<QUrl, QStringList> hits_; // of the posts opened from a search, a few at most
};
