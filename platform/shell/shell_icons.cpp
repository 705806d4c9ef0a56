#include "shell_icons.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace kavro::shell {

namespace {

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

} // namespace

QIcon shellIcon(int index)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return {};
    QStyle* style = QApplication::style();
    const QIcon folder = style->standardIcon(QStyle::SP_DirIcon);
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon document = style->standardIcon(QStyle::SP_FileIcon);
    switch (index) {
    case 0: return document;
    case 1: return marked(folder, QColor(0x2a, 0x7a, 0xd0));
    case 2: return open;
    case 3: return folder;
    case 4: return marked(open, QColor(0x2a, 0x7a, 0xd0));
    case 5: return document;
    case 6: return marked(document, QColor(0x9a, 0x9a, 0x9a));
    default: return {};
    }
}

} // namespace kavro::shell
