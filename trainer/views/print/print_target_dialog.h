#pragma once
// The print target tool: an event's paper target scaled for shooting at a chosen distance from
// the electronic target, on the card of a trainer type, with a preview of the page.
#include "kavrodoc.h"
#include "target_page.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

namespace kavro::print {

class CPrintTargetDlg final : public QDialog {
public:
    CPrintTargetDlg(QPrinter& printer, const QString& jobName, QWidget* parent = nullptr);
    ~CPrintTargetDlg() override;

    // What the controls ask for.
    TargetPageRequest request() const;
    // Builds the page for the current printer when there is none; false (with the failure
    // message) when it cannot be built.
    bool BuildTargetPage();
    const std::optional<PrintoutPage>& page() const { return page_; }
    bool PrintPage();
    void setExpanded(bool expanded);
    bool expanded() const { return expanded_; }

    QListWidget* events() const { return events_; }
    QComboBox* typeBox() const { return type_; }
    QDoubleSpinBox* distanceBox() const { return distance_; }
    QCheckBox* ringsBox() const { return rings_; }
    QCheckBox* clipBox() const { return clip_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Preview;
    void discard();
    void failed();
    // A distance that does not read: beep and go back to the edit.
    void refuseDistance();

    QPrinter& printer_;
    QString jobName_;
    ComPtr<IEventManager> manager_;
    QListWidget* events_;
    QComboBox* type_;
    QDoubleSpinBox* distance_;
    QCheckBox* rings_;
    QCheckBox* clip_;
    QPushButton* expand_;
    QLabel* previewLabel_;
    Preview* preview_;
    std::optional<PrintoutPage> page_;
    PageGeometry geometry_;
    bool expanded_ = false;
};

} // namespace kavro::print
