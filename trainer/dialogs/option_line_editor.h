#pragma once
// The in-place editors of one selected line of the options tree: the line's literal text with an
// edit (and spin buttons for numbers) or a colour button at each of its values. Every change goes
// into the record at once.
#include <QPersistentModelIndex>
#include <QWidget>

#include <vector>

namespace kavro::trainer {

class OptionsTreeModel;

class OptionLineEditor final : public QWidget {
    Q_OBJECT
public:
    OptionLineEditor(OptionsTreeModel* model, const QModelIndex& index, QWidget* parent);

    // The editors in line order.
    const std::vector<QWidget*>& fields() const { return fields_; }
    void focusField(int i);
    // Focuses the editor under a point of the screen, the caret at the character clicked.
    void focusAt(const QPoint& globalPos);

signals:
    // Left from the first editor: the focus goes back to the tree.
    void leftToTree();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh(int part);

    OptionsTreeModel* model_;
    QPersistentModelIndex index_;
    std::vector<QWidget*> fields_;
    std::vector<int> fieldParts_;
};

} // namespace kavro::trainer
