#include "shot_page_view.h"

#include "info_strings.h"
#include "kavro_doc.h"
#include "kavro_hints.h"
#include "res_strings.h"
#include "shot_page_model.h"

#include <QFormLayout>
#include <QLabel>

namespace kavro::info {

CShotPageView::CShotPageView(CKavroDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    auto* form = new QFormLayout(this);
    for (const QString& id : shotPageIds()) {
        auto* caption = new QLabel(this);
        auto* value = new QLabel(this);
        value->setObjectName(id);
        m_captions.push_back(caption);
        m_values[id] = value;
        form->addRow(caption, value);
    }
    reloadTexts();
    m_doc.AddView(this);
}

CShotPageView::~CShotPageView()
{
    if (document())
        document()->RemoveView(this);
}

QLabel* CShotPageView::value(const QString& id) const
{
    auto it = m_values.find(id);
    return it == m_values.end() ? nullptr : it->second;
}

void CShotPageView::reloadTexts()
{
    for (size_t i = 0; i < m_captions.size(); ++i)
        m_captions[i]->setText(LoadResString(IDS_SHOT_NUMBER + uint32_t(i)));
}

void CShotPageView::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&)
{
    switch (hint) {
    case KavroHint::Language: reloadTexts(); [[fallthrough]];
    case KavroHint::Everything:
    case KavroHint::SelectedShot:
    case KavroHint::ShotAdded:
    case KavroHint::AimingConcluded:
        if (m_refresh.request(*this, 1))
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
    m_refresh.catchUp([this](unsigned) {
        m_page = BuildShotPage(m_doc);
        for (const auto& [id, label] : m_values)
            label->setText(m_page.text(id));
    });
}

} // namespace kavro::info
