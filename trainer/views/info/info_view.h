#pragma once
// The information page: shooter, event, results and statistics of the practice (and of its model)
// as native widgets over the page model, with the shooter name and comments editable.
#include "document_base.h"
#include "hidden_refresh.h"
#include "info_page_model.h"
#include "kavrogui.h"
#include "target_host.h"
#include "view_registry.h"

#include <QWidget>
#include <map>
#include <memory>
#include <set>

class CKavroDoc;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kavro::info {

class CInfoView final : public QWidget, public CView, public CFrameViewExtras {
public:
    explicit CInfoView(CKavroDoc& doc, QWidget* parent = nullptr);
    ~CInfoView() override;

    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;

    // What the page's fields and buttons call.
    void UIShooterNameChange(const QString& name);
    void UICommentChange(const QString& text);
    void UIStartPractice();
    void UIOpen();
    void UISelectionChanged(IShot* shot);
    void UIDblClickShot(IShot* shot);

    // The frame's operations.
    void ApplyBreachColors();
    bool SetTargetZoom(float zoom);
    void SetTargetZoom(int zoom) override { SetTargetZoom(float(zoom)); }
    void ReloadSettings() override { ApplyBreachColors(); }
    void CommitPendingEdits() override;

    // Recomputes what waits (also before printing).
    void RefreshIfNeeded();
    const InfoPageModel& page() const { return page_; }
    // The widget showing an element (value labels, fields, rows), for tests.
    QWidget* element(const QString& id) const;
    ITarget* target(const QString& id) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum Pending : unsigned { kDocument = 1, kModel = 2, kTexts = 4 };
    void request(unsigned flags);
    void refresh(unsigned flags);
    void build();
    void reloadTexts();
    void fill();
    void fillTargets();
    void loadName();
    void loadComments();
    void commitName();
    void commitComments();
    QLabel* valueLabel(const QString& id);
    QWidget* addTarget(const QString& id, QWidget* parent);
    void postCommand(int command);

    CKavroDoc& doc_;
    InfoPageModel page_;
    InfoColumns columns_;
    HiddenRefresh refresh_{kDocument | kModel | kTexts};
    std::map<QString, QWidget*> elements_;
    std::set<QString> values_; // the labels that show the page's figures
    std::map<QString, QLabel*> titles_; // static texts by string id or title id
    std::map<QString, std::unique_ptr<CTargetHost>> targets_;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* comments_ = nullptr;
    bool loading_ = false;
};

} // namespace kavro::info
