#include "CPostView.h"

#include "browser/posts/HitHighlight.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {
PostResource resourceOf(QWebEngineUrlRequestInfo::ResourceType type)
{
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
        return PostResource::Document;
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
        return PostResource::Stylesheet;
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
        return PostResource::Image;
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        return PostResource::Font;
    default:
        return PostResource::Other;
    }
}
} // namespace

void COfflineRequestGuard::setSandbox(const PostSandbox &sandbox)
{
    sandbox_ = sandbox;
    clearLog();
}

void COfflineRequestGuard::clearLog()
{
    blocked_.clear();
    allowed_.clear();
}

void COfflineRequestGuard::record(QList<QUrl> &log, const QUrl &url)
{
    // A page with thousands of images must not make the log grow without end.
    if (log.size() >= LogLimit)
        log.removeFirst();
    log.append(url);
}

void COfflineRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (sandbox_.Allows(info.requestUrl(), resourceOf(info.resourceType()))) {
        record(allowed_, info.requestUrl());
        return;
    }
    record(blocked_, info.requestUrl());
    info.block(true);
}

namespace {
// One off-the-record profile for every post view: nothing of a post is kept on disk.
// It lives as long as the application, so it outlives every page.
QWebEngineProfile *offlineProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *made = new QWebEngineProfile(QCoreApplication::instance());
        made->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        made->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        made->setSpellCheckEnabled(false);
        return made;
    }();
    return profile;
}
} // namespace

CPostPage::CPostPage(QWebEngineProfile *profile, COfflineRequestGuard *guard, QObject *parent)
    : QWebEnginePage(profile, parent)
    , guard_(guard)
{
}

bool CPostPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    // Only the program puts a page into the view (its loads arrive as typed). A page's own
    // refresh, even of itself, would reload it and silently throw away edits made in it;
    // an anchor of the page only scrolls.
    const bool programLoad = type == NavigationTypeTyped;
    const bool anchor = url.hasFragment() && type != NavigationTypeReload;
    if (!isMainFrame || !(programLoad || anchor) || !guard_->sandbox().IsDocument(url))
        return false;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

CPostView::CPostView(QWidget *parent)
    : QWebEngineView(parent)
    , guard_(new COfflineRequestGuard(this))
{
    auto *page = new CPostPage(offlineProfile(), guard_, this);
    page->setUrlRequestInterceptor(guard_);
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Needed for the post's own stylesheets, XSL and images; the guard keeps them in
    // the post's folders.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::XSSAuditingEnabled, false);
    setPage(page);
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok)
            markHits();
    });
}

void CPostView::Navigate(const std::string &path, const std::string &archiveFolder)
{
    guard_->setSandbox(PostSandbox(path, archiveFolder));
    if (nextHits_) {
        // As many as the tabs a search may have opened, and a few more.
        constexpr qsizetype Kept = 16;
        if (nextHits_->isEmpty()) {
            hits_.remove(guard_->document());
        } else {
            if (hits_.size() >= Kept && !hits_.contains(guard_->document()))
                hits_.erase(hits_.begin());
            hits_.insert(guard_->document(), *nextHits_);
        }
        nextHits_.reset();
    }
    load(guard_->document());
}

void CPostView::MarkHitsOfNextPost(const QStringList &patterns)
{
    nextHits_ = patterns;
}

void CPostView::markHits()
{
    const auto found = hits_.constFind(guard_->document());
    if (found == hits_.constEnd())
        return;
    const QPointer<CPostView> self(this);
    page()->runJavaScript(HitMarkScript(*found), QWebEngineScript::ApplicationWorld,
                          [self](const QVariant &count) {
                              if (self)
                                  Q_EMIT self->hitsMarked(count.toInt());
                          });
}
