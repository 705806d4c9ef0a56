#include "print_support.h"

#include "printer_output.h"

#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kavro::print;

namespace printtest {

namespace {

void setUp(QPrinter& printer, const QString& path, int dpi)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(dpi);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

PageGeometry pdfGeometry(const QString& path, int dpi, const ReportMargins& margins)
{
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, path, dpi);
    return printerGeometry(printer, margins);
}

bool writePdf(const QString& path, int dpi, const PrintoutPages& pages)
{
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, path, dpi);
    printerGeometry(printer, {});
    return printPages(printer, pages);
}

int pdfPageCount(const QString& path)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    for (const QString& line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

QString pdfText(const QString& path, int page)
{
    return run(QStringLiteral("pdftotext"),
               {QStringLiteral("-raw"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), path, QStringLiteral("-")});
}

QImage pdfPageImage(const QString& path, int page, int dpi, const QRect& crop)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QStringList args{QStringLiteral("-r"),    QString::number(dpi),         QStringLiteral("-f"),
                     QString::number(page),   QStringLiteral("-l"),         QString::number(page),
                     QStringLiteral("-gray"), QStringLiteral("-singlefile")};
    if (!crop.isNull())
        args << QStringLiteral("-x") << QString::number(crop.x()) << QStringLiteral("-y") << QString::number(crop.y())
             << QStringLiteral("-W") << QString::number(crop.width()) << QStringLiteral("-H")
             << QString::number(crop.height());
    run(QStringLiteral("pdftoppm"), args << path << prefix);
    return QImage(prefix + QStringLiteral(".pgm"));
}

int pageWithText(const PrintoutPages& pages, const QString& text)
{
    for (size_t i = 0; i < pages.size(); ++i)
        for (const auto& cell : pages[i].cells)
            if (auto* t = dynamic_cast<const CPrintoutTextCell*>(cell.get()); t && t->text.contains(text))
                return int(i) + 1;
    return 0;
}

bool hasText(const PrintoutPages& pages, const QString& text)
{
    return pageWithText(pages, text) > 0;
}

} // namespace printtest
