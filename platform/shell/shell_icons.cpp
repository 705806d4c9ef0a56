#include "shell_icons.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyle>

#include <array>

namespace kavro::shell {

namespace {

constexpr int kIconCount = 7;

// A small mark in the icon's corner tells shooter folders and older documents apart.
QIcon marked(const QIcon& base, const QColor& colour)
{
    QPixmap pixmap = base.pixmap(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(9, 9, 6, 6));
    return QIcon(pixmap);
}

// Making an icon decodes the style's pictures and paints the mark: a list of thousands of rows
// asks for the same few icons again and again, so each is made once per style. The set belongs
// to the application, so its pixmaps never outlive the GUI they were made for.
class IconSet : public QObject {
public:
    explicit IconSet(QObject* parent) : QObject(parent) { }

    QIcon icon(int index)
    {
        QStyle* style = QApplication::style();
        if (style != style_) {
            style_ = style;
            build(style);
        }
        return icons_[static_cast<size_t>(index)];
    }

private:
    void build(QStyle* style)
    {
        const QIcon folder = style->standardIcon(QStyle::SP_DirIcon);
        const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
        const QIcon document = style->standardIcon(QStyle::SP_FileIcon);
        const QColor shooter(0x2a, 0x7a, 0xd0);
        icons_ = {document,
                  marked(folder, shooter),
                  open,
                  folder,
                  marked(open, shooter),
                  document,
                  marked(document, QColor(0x9a, 0x9a, 0x9a))};
    }

    QPointer<QStyle> style_;
    std::array<QIcon, kIconCount> icons_;
};

} // namespace

QIcon shellIcon(int index)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || index < 0 || index >= kIconCount)
        return {};
    // Only the GUI thread makes icons; the pointer clears itself when the application goes.
    static QPointer<IconSet> set;
    if (!set || set->parent() != app)
        set = new IconSet(app);
    return set->icon(index);
}

} // namespace kavro::shell
