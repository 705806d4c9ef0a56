#include "document_commands.h"

#include "app_options.h"
#include "catalog_dialog.h"
#include "doc_helpers.h"
#include "frame_commands.h"
#include "frame_message.h"
#include "frame_panes.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "practice_controller.h"
#include "replay_controller.h"
#include "ui_text.h"

#include "com/classregistry.h"

#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>

namespace {

std::function<QString()>& openDialogHook()
{
    static std::function<QString()> h;
    return h;
}

std::function<QString()>& folderDialogHook()
{
    static std::function<QString()> h;
    return h;
}

// The desktop's mail helper: it opens the user's mail program with the file attached.
QString mailHelper()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

bool askedYes(int question, QMessageBox::Icon icon, QWidget* owner)
{
    return ShowMessageBox(question, QMessageBox::Yes | QMessageBox::No, icon, owner) == QMessageBox::Yes;
}

} // namespace

void DocumentCommands::setOpenDialogHook(std::function<QString()> hook)
{
    openDialogHook() = std::move(hook);
}

void DocumentCommands::setFolderDialogHook(std::function<QString()> hook)
{
    folderDialogHook() = std::move(hook);
}

DocumentCommands::DocumentCommands(FrameWindow& window, CKavroDoc& doc, FramePanes& panes, ReplayController& replay,
                                   PracticeController& practice)
    : window_(window), doc_(doc), panes_(panes), replay_(replay), practice_(practice), mailer_(mailHelper())
{
}

bool DocumentCommands::OpenDocumentFile(const QString& path)
{
    const bool hadDocument = doc_.HasDocument();
    if (!doc_.OpenDocument(path))
        return false;
    replay_.stopReplayAll();
    if (!hadDocument)
        panes_.ShowDefaultView(false);
    panes_.focusViewPane();
    if (!kavro::theAppOptions().AdvancedMode)
        doc_.SetIncludeSightings(doc_.SightingShotCount() > 0);
    window_.UpdateToolbarButtons();
    return true;
}

void DocumentCommands::ShowOpenFailure(const QString& path)
{
    ShowMessageBox(CKavroDoc::openFailureText(doc_.lastReadError()), QMessageBox::Ok, QMessageBox::Critical, path,
                   window_.GetWindow());
}

bool DocumentCommands::OpenFromUser(const QString& path)
{
    panes_.CommitPendingEdits();
    if (path.isEmpty() || !doc_.SaveModified())
        return false;
    practice_.StopPractice();
    doc_.Reset();
    if (OpenDocumentFile(path))
        return true;
    panes_.ShowDefaultView(true);
    ShowOpenFailure(path);
    return false;
}

QString DocumentCommands::choosePractice(const QString& title)
{
    if (openDialogHook())
        return openDialogHook()();
    kavro::trainer::CCatalogDlg dialog(window_.GetWindow());
    dialog.setCaption(title);
    QString event, shooter;
    doc_.GetShooterName(&shooter);
    ComPtr<IEventParams> current;
    if (doc_.document() && SUCCEEDED(doc_.document()->get_Event(current.put())) && current) {
        current->get_Name(&event);
        if (event.isEmpty())
            current->get_ShortName(&event);
    }
    dialog.setPreselection(event, shooter);
    ComPtr<IEventManager> events;
    createInstance(kavrodoc::CLSID_EventManager, &events);
    dialog.setEventNamer([events](const QString& folderName) {
        ComPtr<IEventParams> found;
        if (!events || events->Find(folderName, found.put()) != S_OK || !found)
            return QString();
        return FormatEventName(found.get(), uiLanguageId());
    });
    return dialog.exec() == QDialog::Accepted ? dialog.chosenFile() : QString();
}

void DocumentCommands::OnFileOpen()
{
    const QString path = choosePractice(FrameCommands::tipOf(uiText(Cmd::Open)).section(QStringLiteral(" ("), 0, 0));
    if (!path.isEmpty())
        OpenFromUser(path);
}

void DocumentCommands::OnOpenModel()
{
    const QString path = choosePractice(uiText(61221));
    if (!path.isEmpty() && !doc_.OpenModel(path))
        ShowOpenFailure(path);
}

void DocumentCommands::OnSave()
{
    if (!doc_.HasDocument() || !doc_.IsModified() || doc_.ShotCountWithHidden() == 0)
        return;
    if (!doc_.Save())
        doc_.ShowLastSaveFailure(window_.GetWindow());
}

void DocumentCommands::OnSendToFolder()
{
    QString folder;
    if (folderDialogHook())
        folder = folderDialogHook()();
    else
        folder = QFileDialog::getExistingDirectory(window_.GetWindow(), uiText(32847));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!doc_.SaveCopyTo(folder))
        doc_.ShowLastSaveFailure(window_.GetWindow());
}

void DocumentCommands::SendResultsByMail()
{
    int32_t version = 0;
    doc_.GetFileVersion(&version);
    if ((doc_.IsModified() || version <= 9) && !doc_.Save()) {
        doc_.ShowLastSaveFailure(window_.GetWindow());
        return;
    }
    QString path;
    if (!doc_.GetFileName(&path) || path.isEmpty()) {
        ShowMessageBox(32818, QMessageBox::Ok, QMessageBox::Critical, window_.GetWindow());
        return;
    }
    if (mailer_.isEmpty() || !QProcess::startDetached(mailer_, {QStringLiteral("--attach"), path}))
        ShowMessageBox(32867, QMessageBox::Ok, QMessageBox::Critical, window_.GetWindow());
}

void DocumentCommands::ToggleShotHidden()
{
    ComPtr<IShot> shot;
    if (!doc_.GetSelectedShot(&shot))
        return;
    const bool hidden = isHidden(shot.get());
    if (askedYes(hidden ? 32849 : 32848, QMessageBox::Critical, window_.GetWindow()))
        doc_.SetShotHidden(shot.get(), !hidden);
}

void DocumentCommands::OnDeleteSightingShots()
{
    if (!askedYes(32851, QMessageBox::Question, window_.GetWindow()))
        return;
    doc_.ClearSightingShots();
    if (doc_.MatchShotCount() == 0)
        panes_.ShowDefaultView(false);
}

void DocumentCommands::OnDeleteAllShots()
{
    if (!askedYes(32850, QMessageBox::Question, window_.GetWindow()))
        return;
    doc_.ClearAllShots();
    panes_.ShowDefaultView(false);
}
