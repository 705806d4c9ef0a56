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
    const std::optional<PrintoutPage>& page() const { return m_page; }
    bool PrintPage();
    void setExpanded(bool expanded);
    bool expanded() const { return m_expanded; }

    QListWidget* events() const { return m_events; }
    QComboBox* typeBox() const { return m_type; }
    QDoubleSpinBox* distanceBox() const { return m_distance; }
    QCheckBox* ringsBox() const { return m_rings; }
    QCheckBox* clipBox() const { return m_clip; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Preview;
    void discard();
    void failed();
    // A distance that does not read: beep and go back to the edit.
    void refuseDistance();

    QPrinter& m_printer;
    QString m_jobName;
    ComPtr<IEventManager> m_manager;
    QListWidget* m_events;
    QComboBox* m_type;
    QDoubleSpinBox* m_distance;
    QCheckBox* m_rings;
    QCheckBox* m_clip;
    QPushButton* m_expand;
    QLabel* m_previewLabel;
    Preview* m_preview;
    std::optional<PrintoutPage> m_page;
    PageGeometry m_geometry;
    bool m_expanded = false;
};

} // namespace kavro::print
