#include "info_page_model.h"

#include "com/oledate.h"
#include "doc_helpers.h"
#include "info_strings.h"
#include "kavro_doc.h"
#include "language_module.h"
#include "res_strings.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace kavro::info {

void InfoPageModel::set(const QString& id, const QString& text, bool visible)
{
    PageElement& e = elements_[id];
    e.text = text;
    e.visible = visible;
}

void InfoPageModel::setModel(const QString& id, const QString& text)
{
    elements_[id].model = text;
}
void InfoPageModel::show(const QString& id, bool visible)
{
    elements_[id].visible = visible;
}

QString InfoPageModel::text(const QString& id) const
{
    auto it = elements_.find(id);
    return it == elements_.end() ? QString() : it->second.text;
}

std::optional<QString> InfoPageModel::model(const QString& id) const
{
    auto it = elements_.find(id);
    return it == elements_.end() ? std::nullopt : it->second.model;
}

bool InfoPageModel::visible(const QString& id) const
{
    auto it = elements_.find(id);
    return it == elements_.end() || it->second.visible;
}

const std::vector<QString>& infoTitleIds()
{
    static const std::vector<QString> ids = {
        "idShotCountTitle",
        "idResultTitle",
        "idResultIntTitle",
        "idResultFractionalTitle",
        "idResultAverageTitle",
        "idResultIntCoinsidedTitle",
        "idTotalShootingTimeTitle",
        "idAvgTimePerShotTitle",
        "idStabilityOfTimeIntervalTitle",
        "idDiametralDispersionTitle",
        "idStabilityOfAimingTitle",
        "idAccuracyOfShootingTitle",
        "idAvgSteadinessTitle",
        "idAvgLenTitle",
        "idAvgLenXTitle",
        "idAvgLenYTitle",
        "idEllipticalFactorTitle",
        "idEllipticalFactorGroupTitle",
        "idEllipticalFactorTraceTitle",
        "idControlIntervalTitle",
    };
    return ids;
}

QString infoTitle(const QString& titleId)
{
    const auto& ids = infoTitleIds();
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == titleId)
            return LoadResString(IDS_INFO_FIRST_TITLE + uint32_t(i));
    return QString();
}

QString notAvailableText()
{
    return LoadResString(IDS_INFO_NOT_AVAILABLE);
}

namespace {

// A translated number format is used only when it holds exactly one floating-point conversion,
// so that a faulty translation cannot make printf read what was never passed. Only the number
// takes the decimal mark: a point in the unit's text stays.
QString formatNumber(uint32_t id, const char* fallback, double v)
{
    static const QRegularExpression oneFloat(
        QStringLiteral("^((?:[^%]|%%)*)(%[-+ #0]*[0-9]*(?:\\.[0-9]+)?f)((?:[^%]|%%)*)$"));
    QRegularExpressionMatch m = oneFloat.match(LoadResString(id));
    if (!m.hasMatch())
        m = oneFloat.match(QString::fromLatin1(fallback));
    const auto literal = [](QString text) { return text.replace(QStringLiteral("%%"), QStringLiteral("%")); };
    return literal(m.captured(1)) + decimalText(m.captured(2).toLatin1().constData(), v) + literal(m.captured(3));
}

QString millimetres(float v)
{
    return formatNumber(IDS_FORMAT_MM, "%-3.1f mm", double(v));
}

bool hasHits(const InfoStatistics& s)
{
    return s.hits > 0;
}

} // namespace

QString decimalText(const char* format, double v)
{
    QString text = QString::asprintf(format, v);
    const QChar mark = LanguageModule::instance().decimalMark();
    if (mark != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), mark);
    return text;
}

QString formatFigure(Figure f, const InfoStatistics& s)
{
    switch (f) {
    case Figure::ShotCount: return s.matchShots > 0 ? QString::asprintf("%i", s.matchShots) : notAvailableText();
    // Shots that all missed score nothing: a result of 0, as their average is.
    case Figure::ResultInt: return s.matchShots > 0 ? QString::asprintf("%i", s.resultInt) : notAvailableText();
    case Figure::ResultFractional:
        return s.matchShots > 0 ? decimalText("%-4.1f", double(s.resultDecimal)) : notAvailableText();
    case Figure::ResultAverage: return s.matchShots > 0 ? decimalText("%-6.3f", s.resultAverage) : notAvailableText();
    case Figure::ResultCentred:
        if (!s.hasCentredResult || !hasHits(s))
            return notAvailableText();
        return decimalText("%-4.1f", double(s.resultCentred))
            + decimalText(" (%+3.1f)", double(s.resultCentred) - double(s.resultDecimal));
    case Figure::TotalTime: return s.hasTimes ? AppendElapsedTime(s.totalTime, false) : notAvailableText();
    case Figure::AvgTimePerShot: {
        const auto avg = s.averageTimePerShot();
        return avg ? AppendElapsedTime(*avg, false) : notAvailableText();
    }
    case Figure::Intervals:
        if (!s.hasIntervals)
            return QString();
        return QStringLiteral(" (") + AppendElapsedTime(s.shortestInterval, false) + QStringLiteral(", ")
            + AppendElapsedTime(s.longestInterval, false) + QStringLiteral(")");
    case Figure::IntervalStability:
        return s.hasIntervals ? QString::asprintf("%i%%", s.intervalStability) : notAvailableText();
    case Figure::DiametralDispersion: return hasHits(s) ? millimetres(s.diametralDispersion) : notAvailableText();
    case Figure::StabilityOfAiming: return hasHits(s) ? millimetres(s.stabilityOfAiming) : notAvailableText();
    case Figure::AccuracyOfShooting: return s.hits >= 2 ? millimetres(s.accuracyOfShooting) : notAvailableText();
    case Figure::AvgSteadiness:
        return s.hasSteadiness && hasHits(s) ? QString::asprintf("%i%%", s.avgSteadiness) : notAvailableText();
    case Figure::AvgLen: return hasHits(s) ? millimetres(s.avgLength) : notAvailableText();
    case Figure::AvgLenX: return hasHits(s) ? millimetres(s.avgLengthX) : notAvailableText();
    case Figure::AvgLenY: return hasHits(s) ? millimetres(s.avgLengthY) : notAvailableText();
    case Figure::EllipticalGroup:
        return s.hits >= 2 ? decimalText("%-4.2f", double(s.ellipticalGroup)) : notAvailableText();
    case Figure::EllipticalTrace:
        return hasHits(s) ? decimalText("%-4.2f", double(s.ellipticalTrace)) : notAvailableText();
    }
    return notAvailableText();
}

QString formatControlInterval(float seconds)
{
    return formatNumber(IDS_FORMAT_SECONDS, "%-5.1f sec", double(seconds));
}

QString formatDateTime(DATE date)
{
    DateFields f;
    if (date == 0 || !dateToFields(date, &f))
        return QString();
    const QDateTime t(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second));
    return QLocale().toString(t, QLocale::ShortFormat);
}

InfoColumns computeColumns(CKavroDoc& doc)
{
    return {documentStatistics(doc), modelStatistics(doc)};
}

namespace {

// A cell with the document's figure and, with a model, the model's; "n/a" for a column without
// shots.
void setFigure(InfoPageModel& page, const InfoColumns& c, const QString& id, Figure f)
{
    auto value = [f](const std::optional<InfoStatistics>& s) {
        return s && s->matchShots > 0 ? formatFigure(f, *s) : notAvailableText();
    };
    page.set(id, value(c.document));
    if (c.model)
        page.setModel(id, value(c.model));
}

void setEvent(CKavroDoc& doc, InfoPageModel& page)
{
    QString name, shortName, position;
    doc.GetEventDisplayName(&name);
    doc.GetEventShortName(&shortName);
    QString text = name + QStringLiteral(" (") + shortName + QStringLiteral(")");
    if (doc.GetPositionName(&position) && !position.isEmpty())
        text += QLatin1Char(' ') + position;
    page.set(QStringLiteral("idEvent"), text);
}

} // namespace

InfoPageModel BuildInfoPage(CKavroDoc& doc, const InfoColumns& c)
{
    InfoPageModel page;
    for (const QString& id : infoTitleIds())
        page.set(id, infoTitle(id));
    const bool has = doc.HasDocument();
    page.show(QStringLiteral("idIntro"), !has);
    page.show(QStringLiteral("idAllInfo"), has);
    if (!has)
        return page;

    const bool twoTargets = doc.GetTargetKind() == TargetKind::Biathlon;
    QString name, comments;
    doc.GetShooterName(&name);
    doc.GetComments(&comments);
    page.set(QStringLiteral("idShooterName"), name);
    page.set(QStringLiteral("idComments"), comments);
    setEvent(doc, page);

    const bool docShots = c.document && c.document->matchShots > 0;
    const bool modelShots = c.model && c.model->matchShots > 0;
    page.show(QStringLiteral("idTargetRow1"), !twoTargets);
    page.show(QStringLiteral("idTargetRow2"), !twoTargets && c.model.has_value());
    page.show(QStringLiteral("idTargetStandingRow1"), twoTargets && c.document && c.document->standingShots > 0);
    page.show(QStringLiteral("idTargetProneRow1"), twoTargets && c.document && c.document->proneShots > 0);
    page.show(QStringLiteral("idTargetStandingRow2"), twoTargets && c.model && c.model->standingShots > 0);
    page.show(QStringLiteral("idTargetProneRow2"), twoTargets && c.model && c.model->proneShots > 0);

    page.show(QStringLiteral("idModelInfoRow"), c.model.has_value());
    if (c.model) {
        QString modelName, modelComments;
        doc.GetModelShooterName(&modelName);
        doc.GetModelComments(&modelComments);
        page.set(QStringLiteral("idShooterNameModel"), modelName);
        page.set(QStringLiteral("idCommentsModel"), modelComments);
    }

    page.set(QStringLiteral("idDateTime"), c.document ? formatDateTime(c.document->dateTime) : QString());
    if (c.model)
        page.setModel(QStringLiteral("idDateTime"), formatDateTime(c.model->dateTime));
    setFigure(page, c, QStringLiteral("idShotCount"), Figure::ShotCount);
    setFigure(page, c, QStringLiteral("idResultInt"), Figure::ResultInt);
    setFigure(page, c, QStringLiteral("idTotalShootingTime"), Figure::TotalTime);
    setFigure(page, c, QStringLiteral("idStabilityOfTimeInterval"), Figure::IntervalStability);
    page.show(QStringLiteral("idResultFractionalTitle"), !twoTargets);
    page.show(QStringLiteral("idResultAverageTitle"), !twoTargets);
    if (!twoTargets) {
        setFigure(page, c, QStringLiteral("idResultFractional"), Figure::ResultFractional);
        setFigure(page, c, QStringLiteral("idResultAverage"), Figure::ResultAverage);
    }
    // The average time per shot carries the intervals, except in the two-target layout.
    auto avgTime = [&](const std::optional<InfoStatistics>& s) {
        if (!s || s->matchShots == 0)
            return notAvailableText();
        QString t = formatFigure(Figure::AvgTimePerShot, *s);
        return twoTargets ? t : t + formatFigure(Figure::Intervals, *s);
    };
    page.set(QStringLiteral("idAvgTimePerShot"), avgTime(c.document));
    if (c.model)
        page.setModel(QStringLiteral("idAvgTimePerShot"), avgTime(c.model));

    const bool anyHits = (c.document && c.document->hits > 0) || (c.model && c.model->hits > 0);
    if (anyHits) {
        setFigure(page, c, QStringLiteral("idAvgLen"), Figure::AvgLen);
        setFigure(page, c, QStringLiteral("idAvgLenX"), Figure::AvgLenX);
        setFigure(page, c, QStringLiteral("idAvgLenY"), Figure::AvgLenY);
        if (!twoTargets) {
            if (!doc.centreGroups())
                setFigure(page, c, QStringLiteral("idResultIntCoinsided"), Figure::ResultCentred);
            setFigure(page, c, QStringLiteral("idDiametralDispersion"), Figure::DiametralDispersion);
            setFigure(page, c, QStringLiteral("idStabilityOfAiming"), Figure::StabilityOfAiming);
            setFigure(page, c, QStringLiteral("idAccuracyOfShooting"), Figure::AccuracyOfShooting);
            setFigure(page, c, QStringLiteral("idAvgSteadiness"), Figure::AvgSteadiness);
            setFigure(page, c, QStringLiteral("idEllipticalFactorGroup"), Figure::EllipticalGroup);
            setFigure(page, c, QStringLiteral("idEllipticalFactorTrace"), Figure::EllipticalTrace);
        }
    }
    page.show(QStringLiteral("idResultIntCoinsidedRow"), !twoTargets && !doc.centreGroups());
    page.set(QStringLiteral("idControlInterval"), formatControlInterval(doc.traceSeconds()));
    page.show(QStringLiteral("idStatRow"), docShots || modelShots);
    return page;
}

} // namespace kavro::info
