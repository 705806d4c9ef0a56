#pragma once
// The shot page shown below the time-intervals chart: the selected match shot's details.
#include "document_base.h"
#include "hidden_refresh.h"
#include "info_page_model.h"

#include <QWidget>
#include <map>

class CKavroDoc;
class QLabel;

namespace kavro::info {

class CShotPageView final : public QWidget, public CView {
public:
    explicit CShotPageView(CKavroDoc& doc, QWidget* parent = nullptr);
    ~CShotPageView() override;

    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;
    const InfoPageModel& page() const { return page_; }
    QLabel* value(const QString& id) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reloadTexts();
    void refreshIfNeeded();

    CKavroDoc& doc_;
    InfoPageModel page_;
    std::map<QString, QLabel*> values_;
    std::vector<QLabel*> captions_;
    HiddenRefresh refresh_{1}; // values given while hidden are shown once the page is shown
};

} // namespace kavro::info
