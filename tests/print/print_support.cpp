#include "print_support.h"

#include "printer_output.h"

#include <QFile>
#include <QTransform>
#include <QPrinter>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
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

std::vector<PdfPath> pdfPaths(const QString& path, int page)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.pdf"));
    run(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), path, plain});
    QFile file(plain);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    const qsizetype marker = all.indexOf("%% Contents for page " + QByteArray::number(page) + '\n');
    const qsizetype from = marker < 0 ? -1 : all.indexOf("stream\n", marker);
    const qsizetype to = from < 0 ? -1 : all.indexOf("\nendstream", from);
    if (to < 0)
        return {};
    const QList<QByteArray> tokens = all.mid(from + 7, to - from - 7).simplified().split(' ');

    // The page's own transform, from PDF space (y up) to points from the top left corner.
    const double height = all.contains("/MediaBox") ? [&] {
        const qsizetype box = all.indexOf("/MediaBox");
        const QList<QByteArray> v = all.mid(all.indexOf('[', box) + 1, 80).simplified().split(' ');
        return v.size() >= 4 ? v[3].toDouble() : 0.0;
    }() : 0.0;
    std::vector<QTransform> stack{QTransform(1, 0, 0, -1, 0, height)};
    std::vector<double> widths{1};
    std::vector<double> operands;
    std::vector<PdfPath> paths;
    PdfPath current;
    bool inText = false;
    auto scaleOf = [](const QTransform& t) { return std::sqrt(std::fabs(t.determinant())); };
    auto at = [&](double x, double y) { return stack.back().map(QPointF(x, y)); };
    auto paint = [&](bool stroke, bool fill) {
        current.stroked = stroke;
        current.filled = fill;
        current.lineWidth = widths.back() * scaleOf(stack.back());
        if (stroke || fill)
            paths.push_back(current);
        current = PdfPath();
    };
    for (const QByteArray& token : tokens) {
        bool number = false;
        const double value = token.toDouble(&number);
        if (number) {
            operands.push_back(value);
            continue;
        }
        const std::vector<double> o = std::move(operands);
        operands.clear();
        if (token == "BT")
            inText = true;
        else if (token == "ET")
            inText = false;
        if (inText)
            continue;
        if (token == "q") {
            stack.push_back(stack.back());
            widths.push_back(widths.back());
        } else if (token == "Q" && stack.size() > 1) {
            stack.pop_back();
            widths.pop_back();
        } else if (token == "cm" && o.size() == 6) {
            stack.back() = QTransform(o[0], o[1], o[2], o[3], o[4], o[5]) * stack.back();
        } else if (token == "w" && o.size() == 1) {
            widths.back() = o[0];
        } else if (token == "m" && o.size() == 2) {
            current.subpaths.push_back({{at(o[0], o[1])}, false});
        } else if (token == "l" && o.size() == 2 && !current.subpaths.empty()) {
            current.subpaths.back().points.push_back(at(o[0], o[1]));
        } else if ((token == "c" && o.size() == 6) || ((token == "v" || token == "y") && o.size() == 4)) {
            if (!current.subpaths.empty()) {
                current.subpaths.back().points.push_back(at(o[o.size() - 2], o[o.size() - 1]));
                current.subpaths.back().curved = true;
            }
        } else if (token == "re" && o.size() == 4) {
            current.subpaths.push_back({{at(o[0], o[1]), at(o[0] + o[2], o[1]), at(o[0] + o[2], o[1] + o[3]),
                                         at(o[0], o[1] + o[3]), at(o[0], o[1])},
                                        false});
        } else if (token == "S" || token == "s") {
            paint(true, false);
        } else if (token == "f" || token == "F" || token == "f*") {
            paint(false, true);
        } else if (token == "B" || token == "B*" || token == "b" || token == "b*") {
            paint(true, true);
        } else if (token == "n") {
            paint(false, false);
        }
    }
    return paths;
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
