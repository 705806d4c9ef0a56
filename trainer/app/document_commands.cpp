#include "document_commands.h"

#include "app_options.h"
#include "catalog_dialog.h"
#include "doc_helpers.h"
#include "frame_message.h"
#include "main_frame.h"
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

DocumentCommands::DocumentCommands(CMainFrame& frame) : frame_(frame), mailer_(mailHelper())
{
}

bool DocumentCommands::OpenDocumentFile(const QString& path)
{
    CKavroDoc& doc = frame_.doc();
    const bool hadDocument = doc.HasDocument();
    if (!doc.OpenDocument(path))
        return false;
    frame_.replay().stopReplayAll();
    if (!hadDocument)
        frame_.ShowDefaultView(false);
    frame_.panes().focusViewPane();
    if (!kavro::theAppOptions().AdvancedMode)
        doc.SetIncludeSightings(doc.SightingShotCount() > 0);
    frame_.UpdateToolbarButtons();
    return true;
}

void DocumentCommands::ShowOpenFailure(const QString& path)
{
    ShowMessageBox(CKavroDoc::openFailureText(frame_.doc().lastReadError()), QMessageBox::Ok, QMessageBox::Critical,
                   path, &frame_);
}

bool DocumentCommands::OpenFromUser(const QString& path)
{
    frame_.CommitPendingEdits();
    if (path.isEmpty() || !frame_.doc().SaveModified())
        return false;
    frame_.StopPractice();
    frame_.doc().Reset();
    if (OpenDocumentFile(path))
        return true;
    frame_.ShowDefaultView(true);
    ShowOpenFailure(path);
    return false;
}

QString DocumentCommands::choosePractice(const QString& title)
{
    if (openDialogHook())
        return openDialogHook()();
    CKavroDoc& doc = frame_.doc();
    kavro::trainer::CCatalogDlg dialog(&frame_);
    dialog.setCaption(title);
    QString event, shooter;
    doc.GetShooterName(&shooter);
    ComPtr<IEventParams> current;
    if (doc.document() && SUCCEEDED(doc.document()->get_Event(current.put())) && current) {
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
    if (!path.isEmpty() && !frame_.doc().OpenModel(path))
        ShowOpenFailure(path);
}

void DocumentCommands::OnSave()
{
    CKavroDoc& doc = frame_.doc();
    if (!doc.HasDocument() || !doc.IsModified() || doc.ShotCountWithHidden() == 0)
        return;
    if (!doc.Save())
        doc.ShowLastSaveFailure(&frame_);
}

void DocumentCommands::OnSendToFolder()
{
    QString folder;
    if (folderDialogHook())
        folder = folderDialogHook()();
    else
        folder = QFileDialog::getExistingDirectory(&frame_, uiText(32847));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!frame_.doc().SaveCopyTo(folder))
        frame_.doc().ShowLastSaveFailure(&frame_);
}

void DocumentCommands::SendResultsByMail()
{
    CKavroDoc& doc = frame_.doc();
    int32_t version = 0;
    doc.GetFileVersion(&version);
    if ((doc.IsModified() || version <= 9) && !doc.Save()) {
        doc.ShowLastSaveFailure(&frame_);
        return;
    }
    QString path;
    if (!doc.GetFileName(&path) || path.isEmpty()) {
        ShowMessageBox(32818, QMessageBox::Ok, QMessageBox::Critical, &frame_);
        return;
    }
    if (mailer_.isEmpty() || !QProcess::startDetached(mailer_, {QStringLiteral("--attach"), path}))
        ShowMessageBox(32867, QMessageBox::Ok, QMessageBox::Critical, &frame_);
}

void DocumentCommands::ToggleShotHidden()
{
    ComPtr<IShot> shot;
    if (!frame_.doc().GetSelectedShot(&shot))
        return;
    const bool hidden = isHidden(shot.get());
    if (askedYes(hidden ? 32849 : 32848, QMessageBox::Critical, &frame_))
        frame_.doc().SetShotHidden(shot.get(), !hidden);
}

void DocumentCommands::OnDeleteSightingShots()
{
    if (!askedYes(32851, QMessageBox::Question, &frame_))
        return;
    frame_.doc().ClearSightingShots();
    if (frame_.doc().MatchShotCount() == 0)
        frame_.ShowDefaultView(false);
}

void DocumentCommands::OnDeleteAllShots()
{
    if (!askedYes(32850, QMessageBox::Question, &frame_))
        return;
    frame_.doc().ClearAllShots();
    frame_.ShowDefaultView(false);
}
