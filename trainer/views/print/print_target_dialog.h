#pragma once
// The print target tool: an event's paper target scaled for shooting at a chosen distance from
// the electronic target, on the card of a trainer type, with a preview of the page.
#include "kavrodoc.h"
#include "target_page.h"

#include <QAbstractSpinBox>
#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

namespace kavro::print {

// The distance edit with its up-down. The edit shows what is typed, whether it reads or not, so
// the tool never prints a distance other than the one shown; a text that reads as a distance is
// taken at once, and the arrows step to the next tenth of a metre from it.
class TargetDistanceBox final : public QAbstractSpinBox {
public:
    explicit TargetDistanceBox(QWidget* parent);

    // The distance last read from the edit, in metres.
    double value() const { return value_; }
    // Writes the distance, kept within 1..500 m, into the edit.
    void setValue(double metres);
    // What the edit holds now; nullopt when it is no distance of 1..500 m.
    std::optional<float> reading() const;
    void stepBy(int steps) override;

    // Called when the distance read from the edit changes.
    std::function<void()> changed;

protected:
    StepEnabled stepEnabled() const override;

private:
    void textEdited(const QString& text);

    double value_ = 10.0;
};

class CPrintTargetDlg final : public QDialog {
public:
    // The event list opens on `event` (the open practice's), else on its first event.
    CPrintTargetDlg(QPrinter& printer, const QString& jobName, IEventParams* event = nullptr,
                    QWidget* parent = nullptr);
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
    TargetDistanceBox* distanceBox() const { return distance_; }
    QCheckBox* ringsBox() const { return rings_; }
    QCheckBox* clipBox() const { return clip_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Preview;
    void discard();
    void failed();
    // A distance that does not read: beep and go back to the edit. False when the edit reads.
    bool refuseDistance();

    QPrinter& printer_;
    QString jobName_;
    ComPtr<IEventManager> manager_;
    QListWidget* events_;
    QComboBox* type_;
    TargetDistanceBox* distance_;
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
