#pragma once
// The commands on the practice as a file and on its shots: open (menu, drop, command line), open
// a model, save, copy to a folder, send by mail, hide a shot, delete shots.
#include <QString>

#include <functional>

class CKavroDoc;
class FramePanes;
class FrameWindow;
class PracticeController;
class ReplayController;

class DocumentCommands {
public:
    DocumentCommands(FrameWindow& window, CKavroDoc& doc, FramePanes& panes, ReplayController& replay,
                     PracticeController& practice);

    // Opens without asking anything; false leaves the frame without a document.
    bool OpenDocumentFile(const QString& path);
    // The user's road (menu, drop): asks to save, stops the practice, opens, tells a failure.
    bool OpenFromUser(const QString& path);
    void ShowOpenFailure(const QString& path);
    void OnFileOpen();
    void OnOpenModel();
    void OnSave();
    void OnSendToFolder();
    void SendResultsByMail();
    bool mailAvailable() const { return !mailer_.isEmpty(); }
    void ToggleShotHidden();
    void OnDeleteSightingShots();
    void OnDeleteAllShots();

    // Answer the file and folder choosers instead of the user (tests): a path, or empty for Cancel.
    static void setOpenDialogHook(std::function<QString()> hook);
    static void setFolderDialogHook(std::function<QString()> hook);

private:
    QString choosePractice(const QString& title);

    FrameWindow& window_;
    CKavroDoc& doc_;
    FramePanes& panes_;
    ReplayController& replay_;
    PracticeController& practice_;
    QString mailer_; // found once, at start
};
