#pragma once
// The options as a property tree: one line per item, its text built from a template with live
// values, a mark for the items bound to a flag, and the additional trace intervals that can be
// added, confirmed, deleted and reordered. Everything the options dialog decides lives here, so
// that it can be driven without a window.
#include "app_options.h"
#include "option_item.h"

#include <QAbstractItemModel>

#include <memory>
#include <optional>
#include <vector>

namespace kavro::trainer {

// Images of the tree's lines (the marks replace them on marked items).
enum OptionImage : int {
    kImagePlain = 0,
    kImageBoxClear = 1,
    kImageBoxTicked = 2,
    kImageRadioClear = 5,
    kImageGroupPrint = 9,
    kImageGroupShotList = 10,
    kImageGroupGeneral = 11,
    kImageGroupTarget = 12,
    kImageGroupPractice = 13,
    kImageAdd = 14, // also an interval not yet confirmed
    kImageColor = 15,
    kImageIntervalList = 17,
};

struct OptionNode {
    enum class Role { Plain, IntervalList, Interval, AddInterval };

    OptionNode* parent = nullptr;
    std::vector<std::unique_ptr<OptionNode>> children;
    uint32_t stringId = 0;
    QString fixedText; // lines without an option item
    int image = kImagePlain;
    std::optional<OptionItem> item;
    Role role = Role::Plain;
    bool confirmed = true; // intervals: false until left with end > begin

    int row() const;
    QString text() const { return item ? item->text() : fixedText; }
};

class OptionsTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Roles {
        ImageRole = Qt::UserRole + 1, // int: the line's image, the mark's when it has one
        GreyedRole, // bool: a mark above the line is clear
        EditableRole, // bool: enabled, with values to edit
    };

    // Builds the settings tree over `options`, which must outlive the model.
    explicit OptionsTreeModel(AppOptions& options, QObject* parent = nullptr);
    ~OptionsTreeModel() override;

    // Adds a line under `parent` (null: a root line) after row `after` (-1: at the end) from
    // string `stringId` or the given template; null when the template or arguments are bad.
    OptionNode* insertOptionItem(OptionNode* parent, int after, OptionCheck check, bool* mark, int image,
                                 uint32_t stringId, const std::vector<OptionArg>& args = {});
    OptionNode* insertOptionItemText(OptionNode* parent, int after, OptionCheck check, bool* mark, int image,
                                     const QString& templ, const std::vector<OptionArg>& args = {});

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    OptionNode* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const OptionNode* node) const;
    // The first line made from string `stringId`.
    QModelIndex findString(uint32_t stringId) const;

    bool markAboveClear(const QModelIndex& index) const;
    // The line's own mark, if any, and every mark above it are set.
    bool isEnabled(const QModelIndex& index) const;
    bool isEditable(const QModelIndex& index) const;
    int image(const QModelIndex& index) const;

    // Toggles the line's mark: a box flips, a clear radio item is set and its siblings cleared.
    // Nothing for a line without a mark or below a clear one; true when something changed.
    bool toggle(const QModelIndex& index);
    void setItemCheck(const QModelIndex& index, bool value);

    // Editing one value part of a line; each refreshes the line's text.
    bool commitText(const QModelIndex& index, int part, const QString& text);
    bool step(const QModelIndex& index, int part, int steps);
    void setColor(const QModelIndex& index, int part, COLORREF color);

    // Selection moves from one line to another. Leaving a new interval keeps it only when it
    // ends after it begins; entering "Add..." makes a new interval, whose index is returned (the
    // line to select instead), else `index` itself.
    void leave(const QModelIndex& index);
    QModelIndex enter(const QModelIndex& index);
    // Delete on a confirmed interval: the entry leaves the list and the tree.
    bool deleteInterval(const QModelIndex& index);
    // Moves the confirmed interval `from` to the place of `onto` in the same list.
    bool moveInterval(const QModelIndex& from, const QModelIndex& onto);

signals:
    // A line's mark changed: its editors must be rebuilt.
    void markChanged(const QModelIndex& index);

private:
    void buildSettingsTree();
    void addIntervalItems(OptionNode* list);
    OptionNode* appendIntervalNode(OptionNode* list, int entry, bool confirmed);
    void appendAddNode(OptionNode* list);
    void rebindIntervals(OptionNode* list);
    void refreshSubtree(const QModelIndex& index);
    bool isConfirmedInterval(const QModelIndex& index) const;

    AppOptions& options_;
    OptionNode root_;
};

} // namespace kavro::trainer
