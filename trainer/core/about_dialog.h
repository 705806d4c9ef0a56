#pragma once
// The About box: the program's version and when it was built.
#include <QDialog>

namespace kavro {

// The version and build time, as the About box shows them ("1.0.0, built 2026-12-08 23:40").
QString programVersionText();

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace kavro
