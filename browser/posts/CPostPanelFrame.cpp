#include "CPostPanelFrame.h"

#include "CPostEditor.h"
#include "CPostTabStrip.h"
#include "CPostView.h"
#include "browser/posts/NotFoundPage.h"
#include "browser/posts/PostSandbox.h"
#include "browser/rooms/KestrelTexts.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>

CPostPanelFrame::CPostPanelFrame(QWidget *parent)
    : QWidget(parent)
    , strip_(new CPostTabStrip(this))
    , view_(new CPostView(this))
    , editor_(new CPostEditor(this, strip_, view_))
{
    view_->setWindowTitle(QString::fromUtf8(KestrelText::PostViewTitle));
    view_->setAccessibleName(view_->windowTitle());
    setFocusProxy(view_);

    connect(strip_->tabBar(), &QTabBar::currentChanged, this, &CPostPanelFrame::TabChosen);
    connect(strip_, &CPostTabStrip::laidOut, this, [this] {
        // A new width refits the labels; an edited page is not reloaded, or its
        // edits would be lost.
        if (strip_->tabBar()->currentIndex() >= 0)
            FitTabTitles(strip_->tabBar()->currentIndex(), !editor_->editing());
    });
    connect(strip_->closeAction, &QAction::triggered, this, &CPostPanelFrame::ClosePost);
    connect(strip_->editAction, &QAction::triggered, this, [this] {
        // The press itself toggles the button; it shows whether the page is edited.
        strip_->editAction->setChecked(editor_->editing());
        editor_->Edit();
    });
    connect(editor_, &CPostEditor::editingChanged, strip_->editAction, &QAction::setChecked);
    connect(strip_->saveAction, &QAction::triggered, editor_, &CPostEditor::Save);
    connect(strip_->fullScreenAction, &QAction::triggered, editor_, &CPostEditor::FullScreen);
    connect(qApp, &QApplication::focusChanged, this,
            [this] { update(0, StripHeight, width(), 1); });
    ShowStartPage();
    UpdateCommands();
}

void CPostPanelFrame::paintEvent(QPaintEvent *)
{
    const QWidget *focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused))
        return;
    QPainter painter(this);
    painter.fillRect(0, StripHeight, width(), 1, palette().color(QPalette::Highlight));
}

void CPostPanelFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    strip_->setGeometry(0, 0, w, StripHeight);
    view_->setGeometry(0, StripHeight + 1, w, std::max(0, h - StripHeight + 1));
}

bool CPostPanelFrame::OpenPost(const std::string &title, const std::string &path, std::string &why)
{
    return OpenPost(title, path, std::string(), why);
}

bool CPostPanelFrame::OpenPost(const std::string &title, const std::string &path,
                               const std::string &archiveFolder, std::string &why,
                               const std::string &postId)
{
    // Whichever tab the post lands in, the view leaves the page shown now.
    if (!editor_->ConfirmLeave())
        return true;
    std::string displayPath = path;
    // A post file or room folder that links out of the archive shows nothing of where it
    // leads: to the user it is as missing as a post that is not there.
    if (!FileSystem::exists(path) || !PostSandbox(path, archiveFolder).HoldsDocument()) {
        displayPath = BuildNotFoundPage(path, why);
        if (displayPath.empty())
            return false;
    }
    const PostTabList::OpenResult opened = strip_->tabs().Open(
            title, displayPath, displayPath == path ? archiveFolder : "", postId, path);
    QTabBar *bar = strip_->tabBar();
    {
        const QSignalBlocker quiet(bar);
        const QString label = Gbk::toQString(title);
        switch (opened.action) {
        case PostTabList::OpenAction::Retitled:
            bar->setTabText(opened.target, label);
            break;
        case PostTabList::OpenAction::Appended:
            bar->addTab(label);
            break;
        case PostTabList::OpenAction::DroppedOldest:
            for (int i = 0; i < bar->count(); ++i)
                bar->setTabText(i, Gbk::toQString(strip_->tabs().entry(i).title));
            break;
        }
    }
    FitTabTitles(opened.target);
    SelectTab(opened.target);
    strip_->update();
    ShowTabTips();
    UpdateCommands();
    return true;
}

void CPostPanelFrame::SelectTab(int index)
{
    // A selection made here is already rendered: no second round through the signal.
    const QSignalBlocker quiet(strip_->tabBar());
    strip_->tabBar()->setCurrentIndex(index);
}

void CPostPanelFrame::ClosePost()
{
    QTabBar *bar = strip_->tabBar();
    const int selected = bar->currentIndex();
    if (selected < 0 || !editor_->ConfirmLeave())
        return;
    strip_->tabs().Close(selected);
    {
        const QSignalBlocker quiet(bar);
        bar->removeTab(selected);
    }
    if (strip_->tabs().count() > 0) {
        SelectTab(0);
        FitTabTitles(0);
    } else {
        ShowStartPage();
    }
    ShowTabTips();
    UpdateCommands();
}

void CPostPanelFrame::TabChosen(int index)
{
    if (index < 0)
        return;
    if (index != shownTab_ && !editor_->ConfirmLeave()) {
        SelectTab(shownTab_); // the edits stay
        return;
    }
    FitTabTitles(index);
    UpdateCommands();
}

void CPostPanelFrame::UpdateCommands()
{
    const bool post = strip_->tabBar()->currentIndex() >= 0;
    for (QAction *action : {strip_->saveAction, strip_->editAction, strip_->fullScreenAction})
        action->setEnabled(post);
}

void CPostPanelFrame::ShowTabTips()
{
    // Labels are cut to fit: the tip tells tabs with the same beginning apart.
    QTabBar *bar = strip_->tabBar();
    for (int i = 0; i < bar->count() && i < strip_->tabs().count(); ++i) {
        const PostTabList::Entry &entry = strip_->tabs().entry(i);
        QStringList lines {QString::fromUtf8(KestrelText::PostTabTitleTip)
                           + Gbk::toQString(entry.title)};
        if (!entry.postId.empty())
            lines << QString::fromUtf8(KestrelText::PostTabIdTip) + Gbk::toQString(entry.postId);
        QString file = Gbk::toQString(FileSystem::normalize(entry.postPath));
        if (entry.displayPath != entry.postPath)
            file += QString::fromUtf8(KestrelText::PostTabMissingTip);
        lines << QString::fromUtf8(KestrelText::PostTabFileTip) + file;
        bar->setTabToolTip(i, lines.join(QLatin1Char('\n')));
    }
}

void CPostPanelFrame::ShowPage(const std::string &path, const std::string &archiveFolder)
{
    editor_->PageLeft();
    view_->Navigate(path, archiveFolder);
}

void CPostPanelFrame::FitTabTitles(int selected, bool render)
{
    const PostTabList &tabs = strip_->tabs();
    if (tabs.count() == 0 || selected < 0 || selected >= tabs.count())
        return;
    CPostTabBar *bar = strip_->tabBar();
    std::vector<std::string> titles;
    for (const auto &entry : tabs.entries())
        titles.push_back(entry.title);
    const std::vector<std::string> labels = FitTabLabels(
            titles, selected, strip_->tabAreaWidth(), [bar](int index, const std::string &label) {
                return bar->MeasureTab(index, Gbk::toQString(label));
            });
    {
        const QSignalBlocker quiet(bar);
        for (int i = 0; i < int(labels.size()) && i < bar->count(); ++i)
            bar->setTabText(i, Gbk::toQString(labels[std::size_t(i)]));
    }
    if (render) {
        shownTab_ = selected;
        ShowPage(tabs.entry(selected).displayPath, tabs.entry(selected).archiveFolder);
    }
}

void CPostPanelFrame::ShowStartPage()
{
    shownTab_ = -1;
    ShowPage(StartPagePath(), std::string());
}
