#include "option_line_editor.h"

#include "color_button.h"
#include "options_tree_model.h"
#include "spin_buttons.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace kavro::trainer {

OptionLineEditor::OptionLineEditor(OptionsTreeModel* model, const QModelIndex& index, QWidget* parent)
    : QWidget(parent), model_(model), index_(index)
{
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const OptionNode* node = model->nodeAt(index);
    const QFontMetrics fm(font());
    const int blank = std::max(1, fm.horizontalAdvance(u' '));
    for (size_t i = 0; node && node->item && i < node->item->parts().size(); ++i) {
        const OptionPart& part = node->item->parts()[i];
        if (!part.literal.isEmpty())
            layout->addWidget(new QLabel(part.literal, this));
        if (!part.hasValue)
            continue;
        const int partIndex = int(i);
        QWidget* field;
        if (part.arg.kind() == OptionValueKind::Color) {
            auto* button = new ColorButton(node->item->color(partIndex), this);
            button->setFixedWidth(13 * blank);
            connect(button, &ColorButton::colorChosen, this,
                    [this, partIndex](COLORREF c) { model_->setColor(index_, partIndex, c); });
            field = button;
            layout->addWidget(button);
        } else {
            const QString text = node->item->valueText(partIndex);
            auto* edit = new QLineEdit(text, this);
            if (part.arg.kind() == OptionValueKind::Unsigned)
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            edit->setFixedWidth(std::max(fm.horizontalAdvance(text), 5 * blank) + 4 * blank);
            connect(edit, &QLineEdit::textEdited, this,
                    [this, partIndex](const QString& t) { model_->commitText(index_, partIndex, t); });
            layout->addWidget(edit);
            field = edit;
            if (part.arg.kind() != OptionValueKind::String) {
                auto* spin = new SpinButtons(this);
                spin->setRange(-1, 1);
                connect(spin, &SpinButtons::moved, this, [this, spin, partIndex](int steps) {
                    spin->setPosition(0);
                    if (model_->step(index_, partIndex, steps))
                        refresh(partIndex);
                });
                layout->addWidget(spin);
            }
        }
        field->installEventFilter(this);
        fields_.push_back(field);
        fieldParts_.push_back(partIndex);
    }
    layout->addStretch(1);
}

void OptionLineEditor::refresh(int part)
{
    const OptionNode* node = model_->nodeAt(index_);
    if (!node || !node->item)
        return;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fieldParts_[i] == part)
            if (auto* edit = qobject_cast<QLineEdit*>(fields_[i]))
                edit->setText(node->item->valueText(part));
}

void OptionLineEditor::focusField(int i)
{
    if (i < 0 || size_t(i) >= fields_.size())
        return;
    fields_[size_t(i)]->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(fields_[size_t(i)]))
        edit->selectAll();
}

void OptionLineEditor::focusAt(const QPoint& globalPos)
{
    for (QWidget* field : fields_) {
        const QPoint local = field->mapFromGlobal(globalPos);
        if (!field->rect().contains(local))
            continue;
        field->setFocus(Qt::MouseFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            edit->setCursorPosition(edit->cursorPositionAt(local));
        return;
    }
}

bool OptionLineEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto it = std::find(fields_.begin(), fields_.end(), watched);
    if (it == fields_.end())
        return QWidget::eventFilter(watched, event);
    const int i = int(it - fields_.begin());
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* edit = qobject_cast<QLineEdit*>(*it);
    auto* button = qobject_cast<ColorButton*>(*it);
    const bool atEnd = !edit || (edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText());
    const bool atStart = !edit || (edit->cursorPosition() == 0 && !edit->hasSelectedText());
    if (key == Qt::Key_Right && atEnd && size_t(i) + 1 < fields_.size()) {
        focusField(i + 1);
        return true;
    }
    if (key == Qt::Key_Left && atStart) {
        if (i == 0)
            emit leftToTree();
        else
            focusField(i - 1);
        return true;
    }
    if (button && key == Qt::Key_Down) {
        button->chooseColor();
        return true;
    }
    if (edit && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        if (model_->step(index_, fieldParts_[size_t(i)], key == Qt::Key_Up ? 1 : -1))
            refresh(fieldParts_[size_t(i)]);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kavro::trainer
