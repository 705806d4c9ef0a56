#include "print_support.h"

#include "printer_output.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
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

QString pdfInfoField(const QString& path, const QString& field)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    for (const QString& line : info.split(QLatin1Char('\n')))
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    return QString();
}

int pdfPageCount(const QString& path)
{
    const QString pages = pdfInfoField(path, QStringLiteral("Pages"));
    return pages.isEmpty() ? -1 : pages.toInt();
}

QStringList pdfFontNames(const QString& path)
{
    QStringList names;
    const QStringList lines = run(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'));
    for (qsizetype i = 2; i < lines.size(); ++i) // after the heading and its underline
        if (!lines[i].trimmed().isEmpty())
            names << lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    return names;
}

std::vector<PdfWord> pdfWords(const QString& path, int page)
{
    const QString html = run(QStringLiteral("pdftotext"),
                             {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                              QStringLiteral("-l"), QString::number(page), path, QStringLiteral("-")});
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re"));
    std::vector<PdfWord> words;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace(QLatin1String("&amp;"), QLatin1String("&"))
            .replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&quot;"), QLatin1String("\""));
        words.push_back({text, QRectF(from, to)});
    }
    return words;
}

bool savePagePng(const QString& pdf, int page, const QString& png, int dpi)
{
    QFile::remove(png);
    QString prefix = png;
    prefix.chop(4); // pdftoppm adds the extension
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
         QString::number(page), QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    return QFile::exists(png);
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
