#include "CPostView.h"

#include "PostRequestPolicy.h"

#include <QCoreApplication>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

void COfflineRequestGuard::clearLog()
{
    blocked_.clear();
    allowed_.clear();
}

void COfflineRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
    const bool script = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeScript
            || info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeWorker
            || info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeSharedWorker
            || info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeServiceWorker;
    if (!script && IsPostRequestAllowed(info.requestUrl(), document_, mainFrame)) {
        allowed_.append(info.requestUrl());
        return;
    }
    blocked_.append(info.requestUrl());
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
    if (isMainFrame && url != guard_->document())
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
    // the post's folder area.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    setPage(page);
}

void CPostView::Navigate(const QString &localPath)
{
    const QUrl url = QUrl::fromLocalFile(localPath);
    guard_->setDocument(url);
    load(url);
}
