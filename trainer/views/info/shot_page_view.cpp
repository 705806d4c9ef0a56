#include "shot_page_view.h"

#include "info_strings.h"
#include "kavro_doc.h"
#include "kavro_hints.h"
#include "res_strings.h"
#include "shot_page_model.h"

#include <QFormLayout>
#include <QLabel>

namespace kavro::info {

CShotPageView::CShotPageView(CKavroDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    auto* form = new QFormLayout(this);
    for (const QString& id : shotPageIds()) {
        auto* caption = new QLabel(this);
        auto* value = new QLabel(this);
        value->setObjectName(id);
        captions_.push_back(caption);
        values_[id] = value;
        form->addRow(caption, value);
    }
    reloadTexts();
    doc_.AddView(this);
}

CShotPageView::~CShotPageView()
{
    if (document())
        document()->RemoveView(this);
}

QLabel* CShotPageView::value(const QString& id) const
{
    auto it = values_.find(id);
    return it == values_.end() ? nullptr : it->second;
}

void CShotPageView::reloadTexts()
{
    for (size_t i = 0; i < captions_.size(); ++i)
        captions_[i]->setText(LoadResString(IDS_SHOT_NUMBER + uint32_t(i)));
}

void CShotPageView::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&)
{
    switch (hint) {
    case KavroHint::Language: reloadTexts(); [[fallthrough]];
    case KavroHint::Everything:
    case KavroHint::SelectedShot:
    case KavroHint::ShotAdded:
    case KavroHint::AimingConcluded:
        if (refresh_.request(*this, 1))
            refreshIfNeeded();
        break;
    default: break;
    }
}

void CShotPageView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshIfNeeded();
}

void CShotPageView::refreshIfNeeded()
{
    refresh_.catchUp([this](unsigned) {
        page_ = BuildShotPage(doc_);
        for (const auto& [id, label] : values_)
            label->setText(page_.text(id));
    });
}

} // namespace kavro::info
