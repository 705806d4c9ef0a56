#pragma once
// The "Options" dialog: the settings tree over a working copy of the options record.
#include "app_options.h"

#include <QDialog>
#include <QPersistentModelIndex>

#include <cstdint>
#include <optional>

class QTreeView;

namespace kavro::trainer {

class OptionsTreeModel;
class OptionLineEditor;

constexpr uint16_t IDD_OPTIONS = 258;

class COptionsDlg final : public QDialog {
    Q_OBJECT
public:
    // `workingCopy` must outlive the dialog; Cancel leaves whatever it holds to the caller.
    explicit COptionsDlg(AppOptions& workingCopy, QWidget* parent = nullptr);
    ~COptionsDlg() override;

    QTreeView* tree() const { return tree_; }
    OptionsTreeModel* model() const { return model_; }
    // The editors shown on the selected line, if any.
    OptionLineEditor* lineEditor() const;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Brings the editors and the interval list in line with the tree's current line.
    void syncWithCurrent();
    void closeEditors();
    // The highlighted line is the line whose editors are shown.
    void keepSelectionOnCurrent();
    void deleteCurrentInterval();

    OptionsTreeModel* model_;
    QTreeView* tree_;
    QPersistentModelIndex entered_; // the line the last sync acted on
    QPersistentModelIndex editing_; // the line whose editors are shown
    QPersistentModelIndex clicked_; // a click on a line's text, to focus its editor there
    QPoint clickedAt_;
};

// The options command's dialog: edits a working copy of `options` and, on OK, takes it into
// `options` and returns the change mask (Cancel: nothing changes, no mask). The caller acts on
// the mask, passes PiezoRejectInterval to the device and saves the options.
std::optional<uint32_t> runOptionsDialog(QWidget* parent, AppOptions& options);

} // namespace kavro::trainer
