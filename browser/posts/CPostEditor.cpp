#include "CPostEditor.h"

#include "CPostFullScreenDialog.h"
#include "CPostTabStrip.h"
#include "CPostView.h"
#include "browser/posts/EditedPage.h"
#include "browser/posts/HitHighlight.h"
#include "browser/posts/PostSandbox.h"
#include "browser/posts/TextEditorCommand.h"
#include "browser/rooms/KestrelTexts.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {
// Both read only what the program needs; null when the view has no document yet.
const QString ReadModeScript =
        QStringLiteral("document.documentElement ? String(document.designMode) : null");
// The marks of search hits are the program's, not the page's: they are not written.
const QString ReadPageScript =
        QStringLiteral(
                "(function() {"
                "  if (!document.documentElement) return null;"
                "  return { mode: String(document.designMode), charset: document.characterSet,"
                "           title: document.title,"
                "           doctype: document.doctype"
                "               ? new XMLSerializer().serializeToString(document.doctype) : '',"
                "           html: %1 };"
                "})()")
                .arg(UnmarkedPageHtmlExpression());

QString formatted(const char *text, const QString &first)
{
    return QString::fromUtf8(text).arg(first);
}
} // namespace

CPostEditor::CPostEditor(QWidget *panel, CPostTabStrip *strip, CPostView *view)
    : QObject(panel)
    , panel_(panel)
    , strip_(strip)
    , view_(view)
{
    // A question sent while a page was still loading may go to the document that the
    // load replaced, and its answer never comes: when a load ends, earlier questions
    // are forgotten, so edit and save answer again.
    connect(view_, &QWebEngineView::loadFinished, this, [this] {
        ++generation_;
        pending_ = false;
    });
}

bool CPostEditor::hasPost() const
{
    const int selected = strip_->tabBar()->currentIndex();
    return selected >= 0 && selected < strip_->tabs().count();
}

const std::string &CPostEditor::selectedPath() const
{
    return strip_->tabs().entry(strip_->tabBar()->currentIndex()).displayPath;
}

const std::string &CPostEditor::selectedArchive() const
{
    return strip_->tabs().entry(strip_->tabBar()->currentIndex()).archiveFolder;
}

template<typename Then>
void CPostEditor::Ask(const QString &script, Then then)
{
    pending_ = true;
    const quint64 asked = generation_;
    const QPointer<CPostEditor> self(this);
    view_->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                 [self, asked, then](const QVariant &answer) {
                                     if (!self || self->generation_ != asked)
                                         return; // the page that asked is gone
                                     self->pending_ = false;
                                     (self->*then)(answer);
                                 });
}

void CPostEditor::PageLeft()
{
    ++generation_;
    pending_ = false;
    SetEditingFlag(false);
}

void CPostEditor::SetEditingFlag(bool on)
{
    if (editing_ == on)
        return;
    editing_ = on;
    Q_EMIT editingChanged(on);
}

bool CPostEditor::ConfirmLeave()
{
    if (!editing_)
        return true;
    return UiSeam::ShowMessage(panel_, QString::fromUtf8(KestrelText::DiscardEdits),
                               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No)
            == QMessageBox::Yes;
}

void CPostEditor::Edit()
{
    if (!hasPost() || pending_)
        return;
    Ask(ReadModeScript, &CPostEditor::ContinueEdit);
}

void CPostEditor::ContinueEdit(const QVariant &answer)
{
    if (answer.isNull() || !answer.isValid() || !hasPost())
        return;
    if (EditingModeCode(answer.toString()) == 0)
        return; // already editing
    const std::string path = selectedPath();
    const bool xml = EndsWithXml(path) || EndsWithXml(Gbk::fromQString(view_->title()))
            || EndsWithXml(Gbk::fromQString(view_->url().path()));
    if (!xml) {
        SetEditing(true);
        return;
    }
    const quint64 asked = generation_;
    const auto choice = UiSeam::ShowMessage(
            panel_, QString::fromUtf8(KestrelText::XmlEditQuestion), QMessageBox::Question,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (asked != generation_)
        return;
    if (choice == QMessageBox::Yes)
        SetEditing(true);
    else if (choice == QMessageBox::No)
        OpenAsText(path);
}

void CPostEditor::SetEditing(bool on)
{
    SetEditingFlag(on);
    view_->page()->runJavaScript(on ? QStringLiteral("document.designMode = 'on'")
                                    : QStringLiteral("document.designMode = 'off'"),
                                 QWebEngineScript::ApplicationWorld);
}

void CPostEditor::OpenAsText(const std::string &path)
{
    const TextEditorCommand command =
            ChooseTextEditor(qEnvironmentVariable("VISUAL"), qEnvironmentVariable("EDITOR"));
    const QString file = FileSystem::toQtPath(path);
    // No shell: the path may hold quotes or "$(...)" from a title.
    const bool started = command.program.isEmpty()
            ? QDesktopServices::openUrl(FileUrlOfDiskPath(FileSystem::toDiskPath(path)))
            : QProcess::startDetached(command.program, QStringList(command.arguments) << file);
    if (!started)
        UiSeam::ShowMessage(panel_, formatted(KestrelText::EditorNotStarted, file),
                            QMessageBox::Warning);
}

void CPostEditor::Save()
{
    // The start page shows when no tab is selected: it is never written.
    if (!hasPost() || pending_)
        return;
    Ask(ReadPageScript, &CPostEditor::ContinueSave);
}

void CPostEditor::ContinueSave(const QVariant &answer)
{
    const QVariantMap page = answer.toMap();
    if (page.isEmpty() || !hasPost())
        return;
    if (EditingModeCode(page.value(QStringLiteral("mode")).toString()) != 0)
        return; // saving happens only while editing
    const std::string path = selectedPath();
    const QString charset = page.value(QStringLiteral("charset")).toString();
    QString html = SerializedPage(page.value(QStringLiteral("doctype")).toString(),
                                  page.value(QStringLiteral("html")).toString());
    QString location = page.value(QStringLiteral("title")).toString();
    if (location.isEmpty())
        location = view_->url().toString();
    // An XML post rendered by its XSL has an HTML title: its file name decides too, so
    // the XML file is never overwritten with HTML.
    const bool xml = EndsWithXml(path) || EndsWithXml(Gbk::fromQString(location));
    if (!xml) {
        if (WritePage(path, html, charset))
            SetEditing(false);
        return;
    }
    UiSeam::FileDialogCall call;
    call.kind = UiSeam::FileDialogCall::SaveFile;
    call.caption = QString::fromUtf8(KestrelText::SaveAsCaption);
    const std::string proposed = ProposedHtmlPath(path);
    const std::size_t separator = FileSystem::lastSeparator(proposed);
    call.directory = FileSystem::toQtPath(
            separator == std::string::npos ? std::string() : proposed.substr(0, separator));
    call.fileName = FileSystem::toQtPath(proposed);
    call.filter = QString::fromUtf8(KestrelText::SaveAsFilter);
    call.defaultSuffix = QStringLiteral("htm");
    const quint64 asked = generation_;
    const QString chosen = UiSeam::AskFilePath(panel_, call);
    if (chosen.isEmpty() || asked != generation_)
        return; // cancelled: still editing
    const std::string target = FileSystem::fromQtPath(chosen);
    const std::string resolvedTarget = FileSystem::resolveDiskPath(FileSystem::toDiskPath(target));
    // Only the XML file itself is kept from being overwritten with HTML.
    if (EndsWithXml(path) && !resolvedTarget.empty()
        && resolvedTarget == FileSystem::resolveDiskPath(FileSystem::toDiskPath(path))) {
        UiSeam::ShowMessage(panel_, formatted(KestrelText::XmlTargetRefused, chosen),
                            QMessageBox::Warning);
        return;
    }
    if (WritePage(target, WithCharsetDeclared(html, charset), charset))
        SetEditing(false);
}

bool CPostEditor::WritePage(const std::string &target, const QString &page, const QString &charset)
{
    std::string why;
    if (WriteEditedPage(target, page, charset, why))
        return true;
    UiSeam::ShowMessage(panel_,
                        QString::fromUtf8(KestrelText::SavePostFailed)
                                .arg(Gbk::toQString(target), Gbk::toQString(why)),
                        QMessageBox::Critical);
    return false;
}

void CPostEditor::FullScreen()
{
    if (!hasPost())
        return;
    CPostFullScreenDialog dialog(panel_, selectedPath(), selectedArchive());
    UiSeam::ExecModal(dialog);
}
