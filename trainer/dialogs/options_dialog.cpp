#include "options_dialog.h"

#include "color_button.h"
#include "dialog_texts.h"
#include "option_line_editor.h"
#include "options_tree_model.h"
#include "window_rect.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavro::trainer {

namespace {

const QString kPlacement = QStringLiteral("WindowRectOptions");

QIcon imageIcon(int image, const QStyle* style)
{
    switch (image) {
    case kImageGroupGeneral:
    case kImageGroupShotList:
    case kImageGroupTarget:
    case kImageGroupPractice:
    case kImageGroupPrint: return style->standardIcon(QStyle::SP_DirIcon);
    case kImageIntervalList: return style->standardIcon(QStyle::SP_FileDialogListView);
    case kImageAdd: return style->standardIcon(QStyle::SP_FileDialogNewFolder);
    case kImageColor: {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        const QColor stripes[] = {Qt::red, Qt::green, Qt::blue};
        for (int i = 0; i < 3; ++i)
            p.fillRect(2 + 4 * i, 3, 4, 10, stripes[i]);
        return QIcon(pixmap);
    }
    }
    return {};
}

class OptionsDelegate final : public QStyledItemDelegate {
public:
    OptionsDelegate(OptionsTreeModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) { }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new OptionLineEditor(model_, index, parent);
        // The editors live on the tree's viewport; Left from the first one gives the tree back
        // the keyboard.
        if (QWidget* tree = parent->parentWidget())
            QObject::connect(editor, &OptionLineEditor::leftToTree, tree,
                             [tree] { tree->setFocus(Qt::OtherFocusReason); });
        return editor;
    }
    void setEditorData(QWidget*, const QModelIndex&) const override { }
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override { }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        // Only towards the end of the line: its start holds the mark, which must stay clickable.
        if (opt.direction == Qt::RightToLeft)
            r.setLeft(std::min(r.left(), option.rect.left()));
        else
            r.setRight(std::max(r.right(), option.rect.right()));
        editor->setGeometry(r);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(std::max(s.height(), option.fontMetrics.height() + 8) + 2);
        return s;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        paintValues(painter, opt, index, style);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(Qt::CheckStateRole).isValid()) {
            const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
            const QIcon icon = imageIcon(index.data(OptionsTreeModel::ImageRole).toInt(), style);
            if (!icon.isNull()) {
                option->icon = icon;
                option->features |= QStyleOptionViewItem::HasDecoration;
            }
        }
        if (index.data(OptionsTreeModel::GreyedRole).toBool())
            option->state &= ~QStyle::State_Enabled;
    }

private:
    // Colour swatches over the blanks of colour values; a line under every other value, to show
    // that it can be edited.
    void paintValues(QPainter* painter, const QStyleOptionViewItem& opt, const QModelIndex& index,
                     const QStyle* style) const
    {
        const OptionNode* node = model_->nodeAt(index);
        if (!node || !node->item)
            return;
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).adjusted(2, 0, 0, 0);
        const bool markClear = node->item->mark() && !*node->item->mark();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget);

        // The values' places come from the laid-out line, so that they follow a right-to-left
        // language's text as well (where a number sits left of the words before it).
        QString line;
        std::vector<std::pair<qsizetype, qsizetype>> spans(node->item->parts().size(), {-1, 0});
        for (size_t i = 0; i < node->item->parts().size(); ++i) {
            const OptionPart& part = node->item->parts()[i];
            line += part.literal;
            if (!part.hasValue)
                continue;
            const QString value = node->item->valueText(int(i));
            spans[i] = {line.size(), value.size()};
            line += value;
        }
        QTextLayout layout(line, opt.font);
        QTextOption textOption;
        textOption.setTextDirection(opt.direction);
        layout.setTextOption(textOption);
        layout.beginLayout();
        QTextLine laid = layout.createLine();
        laid.setNumColumns(int(line.size()));
        layout.endLayout();
        const qreal width = laid.naturalTextWidth();
        const qreal origin = opt.direction == Qt::RightToLeft ? text.right() - margin - width - laid.x()
                                                              : text.left() + margin - laid.x();

        painter->save();
        for (size_t i = 0; i < spans.size(); ++i) {
            const auto [start, length] = spans[i];
            if (start < 0)
                continue;
            const qreal a = laid.cursorToX(int(start)), b = laid.cursorToX(int(start + length));
            const int x = int(origin + std::min(a, b));
            const int w = int(std::abs(b - a));
            if (node->item->parts()[i].arg.kind() == OptionValueKind::Color) {
                const int inset = 3;
                const QRect swatch(x + inset, text.top() + inset, w - 2 * inset, text.height() - 2 * inset);
                const bool grey = markClear || !(opt.state & QStyle::State_Enabled);
                painter->setPen(opt.palette.color(grey ? QPalette::Mid : QPalette::WindowText));
                painter->setBrush(grey ? opt.palette.color(QPalette::Button) : toQColor(node->item->color(int(i))));
                painter->drawRect(swatch.adjusted(0, 0, -1, -1));
            } else {
                painter->setPen(opt.palette.color(QPalette::Mid));
                const int y = opt.rect.bottom() - 4;
                painter->drawLine(x, y, x + w, y);
            }
        }
        painter->restore();
    }

    OptionsTreeModel* model_;
};

} // namespace

COptionsDlg::COptionsDlg(AppOptions& workingCopy, QWidget* parent)
    : QDialog(parent), model_(new OptionsTreeModel(workingCopy, this)), tree_(new QTreeView(this))
{
    setWindowTitle(dialogText(IDD_OPTIONS, 0));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    tree_->setHeaderHidden(true);
    tree_->setModel(model_);
    tree_->setItemDelegate(new OptionsDelegate(model_, tree_));
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setDragEnabled(true);
    tree_->setAcceptDrops(true);
    tree_->setDropIndicatorShown(true);
    tree_->setDragDropMode(QAbstractItemView::InternalMove);
    tree_->header()->setStretchLastSection(true);
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);
    layout->addWidget(tree_);
    layout->addWidget(okCancelButtons(this, IDD_OPTIONS));
    resize(520, 560);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { QMetaObject::invokeMethod(this, &COptionsDlg::syncWithCurrent, Qt::QueuedConnection); });
    // A press on the selected line leaves its selection to the release, so that the line can be
    // dragged; after a refused drop that release falls on another line, which would be highlighted
    // while the editors stay on the current one.
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { QMetaObject::invokeMethod(this, &COptionsDlg::keepSelectionOnCurrent, Qt::QueuedConnection); });
    connect(model_, &OptionsTreeModel::markChanged, this, [this] {
        closeEditors();
        QMetaObject::invokeMethod(this, &COptionsDlg::syncWithCurrent, Qt::QueuedConnection);
    });

    const QModelIndex first = model_->index(0, 0);
    tree_->expand(first);
    tree_->setCurrentIndex(first);
    RestoreWindowRect(this, kPlacement);
}

COptionsDlg::~COptionsDlg() = default;

OptionLineEditor* COptionsDlg::lineEditor() const
{
    return editing_.isValid() ? qobject_cast<OptionLineEditor*>(tree_->indexWidget(editing_)) : nullptr;
}

void COptionsDlg::closeEditors()
{
    if (editing_.isValid())
        tree_->closePersistentEditor(editing_);
    editing_ = QPersistentModelIndex();
}

void COptionsDlg::syncWithCurrent()
{
    const QModelIndex current = tree_->currentIndex();
    if (editing_.isValid() && editing_ != current)
        closeEditors();
    if (entered_.isValid() && entered_ != current)
        model_->leave(entered_);
    entered_ = current;
    const OptionNode* node = model_->nodeAt(current);
    if (node && node->role == OptionNode::Role::AddInterval) {
        // "Add..." gives way to the new interval: it must not be current when it goes, or the
        // view would pick a neighbour of its own.
        {
            const QSignalBlocker quiet(tree_->selectionModel());
            tree_->setCurrentIndex(current.parent());
        }
        const QModelIndex target = model_->enter(current);
        entered_ = target;
        tree_->setCurrentIndex(target); // syncs again
        return;
    }
    if (!editing_.isValid() && model_->isEditable(current)) {
        tree_->openPersistentEditor(current);
        editing_ = current;
        tree_->scrollTo(current);
    }
    if (clicked_.isValid() && clicked_ == current) {
        clicked_ = QPersistentModelIndex();
        // The click that selected the line also says which value to edit, once its editors stand.
        QTimer::singleShot(10, this, [this, at = clickedAt_] {
            if (OptionLineEditor* editor = lineEditor())
                editor->focusAt(at);
        });
    }
}

void COptionsDlg::keepSelectionOnCurrent()
{
    const QModelIndex current = tree_->currentIndex();
    QItemSelectionModel* selection = tree_->selectionModel();
    if (current.isValid() && selection->selectedIndexes() != QModelIndexList{current})
        selection->select(current, QItemSelectionModel::ClearAndSelect);
}

void COptionsDlg::deleteCurrentInterval()
{
    const QPersistentModelIndex current = tree_->currentIndex();
    const OptionNode* node = model_->nodeAt(current);
    if (!node || node->role != OptionNode::Role::Interval || !node->confirmed)
        return;
    closeEditors();
    tree_->setCurrentIndex(current.parent());
    model_->deleteInterval(current);
}

bool COptionsDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space) {
            model_->toggle(tree_->currentIndex());
            return true; // not a search key for the tree
        }
        if (key == Qt::Key_Right && lineEditor()) {
            lineEditor()->focusField(0);
            return true;
        }
        if (key == Qt::Key_Delete) {
            deleteCurrentInterval();
            return true;
        }
    }
    if (watched == tree_->viewport()) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
            || type == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const QModelIndex index = tree_->indexAt(pos);
            if (index.isValid() && index.data(Qt::CheckStateRole).isValid()) {
                QStyleOptionViewItem opt;
                opt.initFrom(tree_);
                opt.rect = tree_->visualRect(index);
                opt.features |= QStyleOptionViewItem::HasCheckIndicator;
                const QRect box = tree_->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, tree_);
                if (box.contains(pos)) {
                    if (type == QEvent::MouseButtonRelease)
                        model_->toggle(index);
                    return true;
                }
            }
            if (type == QEvent::MouseButtonDblClick && index.isValid() && model_->rowCount(index) == 0) {
                model_->toggle(index);
                return true;
            }
            if (type == QEvent::MouseButtonRelease && index.isValid() && index != QModelIndex(editing_)) {
                clicked_ = index;
                clickedAt_ = tree_->viewport()->mapToGlobal(pos);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void COptionsDlg::done(int result)
{
    if (result == QDialog::Accepted) {
        // A new interval still being edited is left as if another line had been selected.
        closeEditors();
        if (entered_.isValid())
            model_->leave(entered_);
    }
    SaveWindowRect(this, kPlacement);
    QDialog::done(result);
}

std::optional<uint32_t> runOptionsDialog(QWidget* parent, AppOptions& options)
{
    AppOptions copy;
    copy.CompareSettings(options);
    COptionsDlg dlg(copy, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return options.CompareSettings(copy);
}

} // namespace kavro::trainer
