#include "check/certificate.h"

#include "check/certificateplot.h"
#include "report/timetext.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace qova::check {

namespace {

QString yesNo(bool b)
{
    return b ? QStringLiteral("yes") : QStringLiteral("no");
}

QString fuelName(Fuel fuel)
{
    return QLatin1String(link::FuelInfoOf(fuel).shownName);
}

QString longDate(const QLocale &locale, const QDate &date, const QString &unknown = QStringLiteral("not given"))
{
    return date.isValid() ? locale.toString(date, QStringLiteral("d MMMM yyyy")) : unknown;
}

const QString kObdTitle = QStringLiteral("On-board diagnostics");
const QString kMonitorLine = QStringLiteral("Readiness, ");
const QString kFindingLine = QStringLiteral("Finding: ");
const QString kLostLine = QStringLiteral("Adapter lost during the check: ");

CertificateObd obdSection(const ObdOutcome &o)
{
    CertificateObd obd;
    obd.verdict = o.verdict;
    obd.tone = o.tone;
    obd.fields = {
        {QStringLiteral("Adapter"), o.adapter},
        {QStringLiteral("VIN"), o.vin},
        {QStringLiteral("Warning lamp"), o.lamp},
        {QStringLiteral("Stored codes"), o.codes},
    };
    if (!o.dashboardLamp.isEmpty())
        obd.fields.insert(obd.fields.begin() + 3, {QStringLiteral("Warning lamp on the dashboard"), o.dashboardLamp});
    for (const auto &[monitor, readiness] : o.monitors)
        obd.monitors.push_back({monitor, readiness});
    obd.findings = o.reasons;
    if (!o.lampFinding.isEmpty())
        obd.findings << o.lampFinding;
    if (!o.lost.isEmpty())
        obd.lost = kLostLine + o.lost + QStringLiteral("; the rest of the check used the analyser alone");
    return obd;
}

bool warmFromObd(WarmSource source)
{
    return source == WarmSource::ObdOil || source == WarmSource::ObdCoolant;
}

} // namespace

QStringList CertificateObdLines(const CertificateObd &obd, MonitorLines monitors)
{
    QStringList lines{kObdTitle + QStringLiteral(": ") + obd.verdict};
    for (const CertificateField &f : obd.fields)
        lines << f.label + QStringLiteral(": ") + f.value;
    QStringList joined;
    for (const CertificateField &m : obd.monitors) {
        if (monitors == MonitorLines::Each)
            lines << kMonitorLine + m.label + QStringLiteral(": ") + m.value;
        else
            joined << m.label + QStringLiteral(" ") + m.value;
    }
    if (!joined.isEmpty())
        lines << QStringLiteral("Readiness: ") + joined.join(QStringLiteral(", "));
    for (const QString &finding : obd.findings)
        lines << kFindingLine + finding;
    if (!obd.lost.isEmpty())
        lines << obd.lost;
    return lines;
}

CertificatePage CertificateContent(const CheckRecord &record, const QLocale &locale)
{
    CertificatePage page;
    page.header = record.companyHeader.trimmed();
    page.title = QStringLiteral("EXHAUST EMISSIONS CHECK");
    const CheckState &state = record.state;
    CheckResult result = ResultOf(record);
    page.verdict = result.verdict;
    page.tone = result.tone;
    page.verdictNote = result.note;
    page.stages = std::move(result.stages);
    if (result.obd)
        page.obd = obdSection(*result.obd);

    const Vehicle &v = record.vehicle;
    page.vehicle = {
        {QStringLiteral("Registration"), v.registration},
        {QStringLiteral("Model"), record.model.isEmpty() ? QStringLiteral("not given") : record.model},
        {QStringLiteral("Type"), v.scheme + QLatin1Char(' ') + v.type},
        {QStringLiteral("First used"), longDate(locale, v.firstUsed)},
        {QStringLiteral("Fuel"), fuelName(v.fuel)},
        {QStringLiteral("Catalyst"), yesNo(v.catalyst)},
        {QStringLiteral("Two-stroke"), yesNo(v.twoStroke)},
    };

    QString how;
    switch (record.origin) {
    case LimitOrigin::Chosen:
        how = record.limitReason;
        break;
    case LimitOrigin::PickedByOperator:
        how = QStringLiteral("chosen by the operator");
        if (!record.limitReason.isEmpty())
            how += QStringLiteral(": ") + record.limitReason;
        break;
    case LimitOrigin::MakersFigures:
        how = QStringLiteral("vehicle maker's figures");
        if (!record.limitReason.isEmpty())
            how += QStringLiteral(": ") + record.limitReason;
        break;
    }
    page.limits = {
        {QStringLiteral("Limit set"), record.limits.name},
        {QStringLiteral("Source"), record.limits.source},
        {QStringLiteral("How chosen"), how},
    };

    if (state.residualHc)
        page.notes << QStringLiteral("Residual HC in clean air: %1 ppm, deducted from every HC value above")
                          .arg(*state.residualHc);
    else
        page.notes << QStringLiteral("Residual HC: not measured");
    if (state.warmConfirmedByOperator)
        page.notes << QStringLiteral("Engine temperature confirmed by the operator (no oil probe)");
    else if (state.warmOilTenths)
        page.notes << QStringLiteral("Oil temperature at the start: %1").arg(CelsiusText(*state.warmOilTenths));
    else if (!warmFromObd(state.warmSource)) // the sources line below says it
        page.notes << QStringLiteral("Engine temperature: not reached");
    // A check of the analyser alone says nothing of sources: its certificate stays as it was.
    if (record.obd || warmFromObd(state.warmSource) || record.speedSource == SpeedSource::Obd)
        page.notes << SourcesLine(result);
    if (record.afrShown) {
        const Fuel set = FuelFromCode(record.fuelCode);
        page.notes << QStringLiteral("The analyser showed AFR: lambda is the AFR divided by %1 (%2)")
                          .arg(StoichiometricAfrTenths(set) / 10.0, 0, 'f', 1)
                          .arg(fuelName(set));
    }

    const QDateTime at = record.finishedAt.isValid() ? record.finishedAt : record.startedAt;
    page.signedOff = {
        {QStringLiteral("Date"), longDate(locale, at.date(), QStringLiteral("not known"))},
        {QStringLiteral("Time"), at.isValid() ? report::ReportTime(locale, at.time()) : QStringLiteral("not known")},
        {QStringLiteral("Operator"), record.operatorName.isEmpty() ? QStringLiteral("not given") : record.operatorName},
    };
    return page;
}

QStringList CertificateLines(const CheckRecord &record, const QLocale &locale)
{
    return CertificateLines(CertificateContent(record, locale));
}

QStringList CertificateLines(const CertificatePage &page)
{
    QStringList lines;
    if (!page.header.isEmpty())
        lines << page.header;
    lines << page.title << page.verdict;
    if (!page.verdictNote.isEmpty())
        lines << page.verdictNote;
    auto fields = [&](const std::vector<CertificateField> &list) {
        for (const CertificateField &f : list)
            lines << f.label + QStringLiteral(": ") + f.value;
    };
    fields(page.vehicle);
    fields(page.limits);
    for (const StageOutcome &s : page.stages) {
        lines << s.title + QStringLiteral(": ") + s.verdict;
        if (!s.window.isEmpty())
            lines << s.window;
        for (const GasResult &r : s.gases)
            lines
                << QStringLiteral("%1: mean %2, worst %3, limit %4: %5").arg(r.gas, r.mean, r.worst, r.limit, r.result);
        if (!s.reason.isEmpty())
            lines << s.reason;
    }
    if (page.obd)
        lines << CertificateObdLines(*page.obd);
    lines << page.notes;
    fields(page.signedOff);
    return lines;
}

namespace {

const QColor kInk(0x21, 0x21, 0x21);
const QColor kMuted(0x61, 0x61, 0x61);
const QColor kRule(0xbd, 0xbd, 0xbd);
const QColor kPassColour(0x1b, 0x7f, 0x3b);
const QColor kFailColour(0xc6, 0x28, 0x28);
const QColor kNeutralColour(0x45, 0x5a, 0x64);
const QColor kHeading(0x37, 0x47, 0x4f);

QColor toneColour(Tone tone)
{
    return tone == Tone::Pass ? kPassColour : tone == Tone::Fail ? kFailColour : kNeutralColour;
}

QColor resultColour(GasVerdict verdict)
{
    const Tone tone = ToneOf(verdict);
    return tone == Tone::Neutral ? kInk : toneColour(tone);
}

QColor seriesColour(PlotSeries s)
{
    return QColor::fromRgb(PlotSeriesInfoOf(s).rgb);
}

QColor spanColour(const PlotSpan &span, const LimitSet &limits)
{
    if (span.recheck)
        return {0xff, 0xe0, 0xb2};
    const bool fast = span.stage < static_cast<int>(limits.stages.size()) &&
                      limits.stages[static_cast<std::size_t>(span.stage)].kind == StageKind::FastIdle;
    return fast ? QColor(0xe3, 0xf2, 0xfd) : QColor(0xe8, 0xf5, 0xe9);
}

// Sizes in millimetres of the page's width, so the page looks the same on a 1240-pixel
// image and on a 600 dpi printer.
class Layout {
public:
    Layout(QPainter &p, const QRectF &page) : p_(p), page_(page), mm_(page.width() / 210.0) {}

    double mm(double v) const { return v * mm_; }
    QFont font(double sizeMm, bool bold = false) const
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(mm(sizeMm)))));
        f.setBold(bold);
        return f;
    }
    // Draws `text` wrapped in the rect's width from its top; returns the height used.
    double text(const QRectF &rect, const QString &plain, const QFont &font, const QColor &colour,
                int flags = Qt::AlignLeft) const
    {
        // A figure and its unit stay on one line when the text wraps.
        QString text = plain;
        static const QRegularExpression unit(QStringLiteral("(\\d) (%|ppm|rpm|s\\b|°C)"));
        text.replace(unit, QStringLiteral("\\1\u00a0\\2"));
        p_.setFont(font);
        p_.setPen(colour);
        const QRectF wanted = p_.boundingRect(QRectF(rect.left(), rect.top(), rect.width(), 1e6),
                                              flags | Qt::TextWordWrap | Qt::AlignTop, text);
        p_.drawText(QRectF(rect.left(), rect.top(), rect.width(), wanted.height()),
                    flags | Qt::TextWordWrap | Qt::AlignTop, text);
        return wanted.height();
    }
    void rule(double y, double x0, double x1) const
    {
        p_.setPen(QPen(kRule, mm(0.3)));
        p_.drawLine(QPointF(x0, y), QPointF(x1, y));
    }

    QPainter &p_;
    QRectF page_;
    double mm_;
};

double paintFields(const Layout &l, const QRectF &area, const QString &heading,
                   const std::vector<CertificateField> &fields, double labelWidth)
{
    double y = area.top();
    y += l.text(QRectF(area.left(), y, area.width(), 0), heading, l.font(3.2, true), kHeading) + l.mm(1);
    for (const CertificateField &f : fields) {
        l.text(QRectF(area.left(), y, labelWidth, 0), f.label, l.font(2.8), kMuted);
        const double h = l.text(QRectF(area.left() + labelWidth, y, area.width() - labelWidth, 0), f.value,
                                l.font(2.8, f.label == QLatin1String("Registration")), kInk);
        y += std::max(h, l.mm(4.0)) + l.mm(0.4);
    }
    return y - area.top();
}

QString capitalisedFinding(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// A section's title bar, its verdict at the right in the verdict's colour; the top of what
// follows it.
double paintTitleBar(const Layout &l, double left, double y, double width, const QString &title, const QString &verdict,
                     Tone tone)
{
    QPainter &p = l.p_;
    const double bar = l.mm(6.5);
    p.fillRect(QRectF(left, y, width, bar), QColor(0xf5, 0xf5, 0xf5));
    p.setFont(l.font(3.4, true));
    p.setPen(kInk);
    p.drawText(QRectF(left + l.mm(2), y, width, bar), Qt::AlignLeft | Qt::AlignVCenter, title);
    const QFont verdictFont = l.font(3.4, true);
    const double verdictWidth = QFontMetricsF(verdictFont, p.device()).horizontalAdvance(verdict) + l.mm(5);
    const QRectF badge(left + width - verdictWidth, y, verdictWidth, bar);
    p.fillRect(badge, toneColour(tone));
    p.setFont(verdictFont);
    p.setPen(Qt::white);
    p.drawText(badge, Qt::AlignCenter, verdict);
    return y + bar + l.mm(1.2);
}

double paintStage(const Layout &l, double left, double top, double width, const StageOutcome &s)
{
    QPainter &p = l.p_;
    double y = paintTitleBar(l, left, top, width, s.title, s.verdict, s.tone);
    if (!s.window.isEmpty())
        y += l.text(QRectF(left + l.mm(2), y, width - l.mm(4), 0), s.window, l.font(2.6), kMuted) + l.mm(0.8);

    // Columns: what, mean, worst, limit, result.
    const double x[] = {left + l.mm(2), left + width * 0.33, left + width * 0.48, left + width * 0.63,
                        left + width * 0.86};
    const double right[] = {x[1], x[2] - l.mm(3), x[3] - l.mm(3), x[4], left + width - l.mm(2)};
    const double rowH = l.mm(4.6);
    auto cells = [&](const QStringList &texts, const QFont &font, const QColor &ink, const QColor &resultInk) {
        p.setFont(font);
        for (int c = 0; c < 5; ++c) {
            p.setPen(c == 4 ? resultInk : ink);
            const bool number = c == 1 || c == 2;
            const QRectF cell(x[c], y, right[c] - x[c], rowH);
            p.drawText(cell, (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, texts[c]);
        }
        y += rowH;
    };
    cells({QStringLiteral("Reading"), QStringLiteral("Mean"), QStringLiteral("Worst"), QStringLiteral("Limit"),
           QStringLiteral("Result")},
          l.font(2.6, true), kMuted, kMuted);
    l.rule(y, left, left + width);
    for (const GasResult &r : s.gases) {
        cells({r.gas, r.mean, r.worst, r.limit, r.result}, l.font(2.9), kInk, resultColour(r.verdict));
        l.rule(y, left, left + width);
    }
    if (!s.reason.isEmpty()) {
        y += l.mm(1);
        y += l.text(QRectF(left + l.mm(2), y, width - l.mm(4), 0), s.reason, l.font(2.6), kMuted);
    }
    return y - top;
}

// The car's own diagnostics: a bar like a stage's, what was read at the left, each
// readiness monitor in two columns at the right, then the findings.
double paintObd(const Layout &l, double left, double top, double width, const CertificateObd &obd)
{
    double y = paintTitleBar(l, left, top, width, kObdTitle, obd.verdict, obd.tone);

    // What was read takes two fifths; the monitors, whose names are longer, the rest.
    const double fieldsWidth = width * 0.4;
    double fieldsY = y;
    for (const CertificateField &f : obd.fields) {
        // A long label ("Warning lamp on the dashboard") wraps: the row is as tall as it.
        const double labelHeight = l.text(QRectF(left + l.mm(2), fieldsY, l.mm(24), 0), f.label, l.font(2.7), kMuted);
        const bool alarm = f.value == QLatin1String("ON");
        const double h = l.text(QRectF(left + l.mm(26), fieldsY, fieldsWidth - l.mm(26), 0), f.value,
                                l.font(2.8, alarm), alarm ? kFailColour : kInk);
        fieldsY += std::max({h, labelHeight, l.mm(3.9)});
    }
    const double monitorsLeft = left + fieldsWidth + l.mm(4);
    const double column = (left + width - monitorsLeft) / 2;
    const std::size_t perColumn = (obd.monitors.size() + 1) / 2;
    double monitorsY = y;
    double rowY = y;
    for (std::size_t i = 0; i < obd.monitors.size(); ++i) {
        if (i == perColumn)
            rowY = y;
        const CertificateField &m = obd.monitors[i];
        const double x = monitorsLeft + (i < perColumn ? 0 : column);
        const double labelWidth = column * 0.6;
        const double h = l.text(QRectF(x, rowY, labelWidth - l.mm(1), 0), m.label, l.font(2.4), kMuted);
        const bool incomplete = m.value == QLatin1String("incomplete");
        l.text(QRectF(x + labelWidth, rowY, column - labelWidth, 0), m.value, l.font(2.4, incomplete),
               incomplete ? kFailColour : kInk);
        rowY += std::max(h, l.mm(3.6));
        monitorsY = std::max(monitorsY, rowY);
    }
    y = std::max(fieldsY, monitorsY) + l.mm(0.8);
    for (const QString &finding : obd.findings)
        y += l.text(QRectF(left + l.mm(2), y, width - l.mm(4), 0), capitalisedFinding(finding), l.font(2.7),
                    toneColour(obd.tone)) +
             l.mm(0.3);
    if (!obd.lost.isEmpty())
        y += l.text(QRectF(left + l.mm(2), y, width - l.mm(4), 0), obd.lost, l.font(2.7, true), kFailColour);
    return y - top;
}

void paintPlot(const Layout &l, const QRectF &area, const CheckRecord &record)
{
    QPainter &p = l.p_;
    const auto &trace = record.state.trace;
    const PlotAxis time = TimeAxis(trace);
    const double labelW = l.mm(30);
    const double axisH = l.mm(9);
    const double legendH = l.mm(7);
    const QRectF plot(area.left() + labelW, area.top(), area.width() - labelW - l.mm(2),
                      area.height() - axisH - legendH);
    const double gap = l.mm(3.5);
    const double stripH = (plot.height() - 3 * gap) / 4;

    const std::vector<PlotSpan> spans = StageSpans(trace);
    const std::vector<PlotSpan> windows = DecidingWindows(record.state);
    const QFont small = l.font(2.4);

    for (int i = 0; i < 4; ++i) {
        const PlotSeries series = kPlotSeries[i].series;
        const QRectF strip(plot.left(), plot.top() + i * (stripH + gap), plot.width(), stripH);
        const PlotAxis axis = ValueAxis(record, series);
        p.fillRect(strip, QColor(0xfa, 0xfa, 0xfa));
        for (const PlotSpan &s : spans)
            p.fillRect(QRectF(QPointF(PlotX(time, s.fromMs, strip), strip.top()),
                              QPointF(PlotX(time, s.toMs, strip), strip.bottom())),
                       spanColour(s, record.limits));
        for (const PlotSpan &w : windows)
            p.fillRect(QRectF(QPointF(PlotX(time, w.fromMs, strip), strip.top()),
                              QPointF(PlotX(time, w.toMs, strip), strip.bottom())),
                       QColor(0x00, 0x00, 0x00, 0x22));
        p.setFont(small);
        for (double t : axis.ticks()) {
            const double y = PlotY(axis, t, strip);
            p.setPen(QPen(QColor(0xe0, 0xe0, 0xe0), l.mm(0.2)));
            p.drawLine(QPointF(strip.left(), y), QPointF(strip.right(), y));
            p.setPen(kMuted);
            const int places = axis.step >= 1 ? 0 : axis.step >= 0.1 ? 1 : 2;
            p.drawText(QRectF(strip.left() - l.mm(9), y - l.mm(2), l.mm(8), l.mm(4)), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(t, 'f', places));
        }
        QPen limitPen(kFailColour, l.mm(0.35), Qt::DashLine);
        p.setPen(limitPen);
        for (const PlotLimit &lim : PlotLimits(record, series)) {
            const double y = PlotY(axis, lim.value, strip);
            p.drawLine(QPointF(PlotX(time, lim.fromMs, strip), y), QPointF(PlotX(time, lim.toMs, strip), y));
        }
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(seriesColour(series), l.mm(0.45)));
        for (const QPolygonF &line : PlotLines(trace, series, time, axis, strip))
            p.drawPolyline(line);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(kRule, l.mm(0.25)));
        p.setBrush(Qt::NoBrush);
        p.drawRect(strip);
        p.setFont(l.font(2.9, true));
        p.setPen(seriesColour(series));
        p.drawText(QRectF(area.left(), strip.top(), labelW - l.mm(11), strip.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, PlotSeriesName(series));
    }

    // The time axis under the last strip.
    p.setFont(small);
    p.setPen(kMuted);
    for (double t : time.ticks()) {
        const double x = PlotX(time, static_cast<std::int64_t>(std::lround(t * 1000)), plot);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + l.mm(1)));
        p.drawText(QRectF(x - l.mm(8), plot.bottom() + l.mm(1), l.mm(16), l.mm(3.5)), Qt::AlignCenter,
                   QString::number(t, 'f', 0));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + l.mm(4.5), plot.width(), l.mm(3.5)), Qt::AlignCenter,
               QStringLiteral("time since the start of the check (s)"));

    // The legend: the shading, the deciding windows and the limits.
    struct Key {
        QColor colour;
        QString text;
        bool dashed = false;
    };
    std::vector<Key> keys;
    bool fast = false, idle = false, recheck = false;
    for (const PlotSpan &s : spans) {
        const QColor c = spanColour(s, record.limits);
        if (s.recheck)
            recheck = true;
        else if (c == QColor(0xe3, 0xf2, 0xfd))
            fast = true;
        else
            idle = true;
    }
    if (fast)
        keys.push_back({QColor(0xe3, 0xf2, 0xfd), QStringLiteral("fast idle")});
    if (idle)
        keys.push_back({QColor(0xe8, 0xf5, 0xe9), QStringLiteral("natural idle")});
    if (recheck)
        keys.push_back({QColor(0xff, 0xe0, 0xb2), QStringLiteral("HC re-check")});
    if (!windows.empty())
        keys.push_back({QColor(0xc8, 0xc8, 0xc8), QStringLiteral("deciding 5 s")});
    keys.push_back({kFailColour, QStringLiteral("limit"), true});
    double x = plot.left();
    const double ly = area.bottom() - legendH + l.mm(2);
    p.setFont(l.font(2.6));
    for (const Key &k : keys) {
        const QRectF swatch(x, ly, l.mm(6), l.mm(3));
        if (k.dashed) {
            p.setPen(QPen(k.colour, l.mm(0.35), Qt::DashLine));
            p.drawLine(QPointF(swatch.left(), swatch.center().y()), QPointF(swatch.right(), swatch.center().y()));
        } else {
            p.fillRect(swatch, k.colour);
            p.setPen(QPen(kRule, l.mm(0.2)));
            p.drawRect(swatch);
        }
        p.setPen(kInk);
        const double w = QFontMetricsF(p.font(), p.device()).horizontalAdvance(k.text);
        p.drawText(QRectF(swatch.right() + l.mm(1.5), ly - l.mm(0.5), w + l.mm(1), l.mm(4)),
                   Qt::AlignLeft | Qt::AlignVCenter, k.text);
        x = swatch.right() + l.mm(1.5) + w + l.mm(6);
    }
}

} // namespace

namespace {

void paintPage(QPainter &painter, const QRectF &page, const CertificatePage &content, const CheckRecord *record)
{
    painter.save();
    painter.setClipRect(page);
    painter.fillRect(page, Qt::white);
    const Layout l(painter, page);
    const double left = page.left() + l.mm(14), right = page.right() - l.mm(14);
    const double width = right - left;
    double y = page.top() + l.mm(12);

    if (!content.header.isEmpty())
        y += l.text(QRectF(left, y, width, 0), content.header, l.font(4.2, true), kInk, Qt::AlignHCenter) + l.mm(1);
    y += l.text(QRectF(left, y, width, 0), content.title, l.font(6.0, true), kInk, Qt::AlignHCenter) + l.mm(2);
    l.rule(y, left, right);
    y += l.mm(3);

    // The verdict, large, in its colour.
    const double verdictH = l.mm(16);
    const QRectF verdictBox(left + width * 0.2, y, width * 0.6, verdictH);
    painter.fillRect(verdictBox, toneColour(content.tone));
    painter.setFont(l.font(content.verdict.size() > 8 ? 8.0 : 11.0, true));
    painter.setPen(Qt::white);
    painter.drawText(verdictBox, Qt::AlignCenter, content.verdict);
    y += verdictH + l.mm(1.5);
    if (!content.verdictNote.isEmpty())
        y += l.text(QRectF(left, y, width, 0), content.verdictNote, l.font(3.0), kInk, Qt::AlignHCenter);
    y += l.mm(4);

    // The vehicle at the left, the limits beside it.
    const double column = (width - l.mm(8)) / 2;
    const double vehicleH =
        paintFields(l, QRectF(left, y, column, 0), QStringLiteral("Vehicle"), content.vehicle, l.mm(26));
    const double limitsH = paintFields(l, QRectF(left + column + l.mm(8), y, column, 0), QStringLiteral("Limits"),
                                       content.limits, l.mm(22));
    y += std::max(vehicleH, limitsH) + l.mm(3);

    for (const StageOutcome &s : content.stages)
        y += paintStage(l, left, y, width, s) + l.mm(3);
    if (content.obd)
        y += paintObd(l, left, y, width, *content.obd) + l.mm(3);

    for (const QString &note : content.notes)
        y += l.text(QRectF(left, y, width, 0), note, l.font(2.9), kInk) + l.mm(0.6);
    y += l.mm(3);

    // The plot takes what the footer leaves.
    const double footerH = l.mm(16);
    const double plotBottom = page.bottom() - l.mm(10) - footerH;
    if (record) {
        const double plotH = std::max(l.mm(45), plotBottom - y);
        paintPlot(l, QRectF(left, y, width, plotH), *record);
        y += plotH + l.mm(4);
    } else {
        l.text(QRectF(left, y, width, 0),
               QStringLiteral("Printed again from the history, which keeps the figures above but not every reading "
                              "of the plot."),
               l.font(2.6), kMuted);
        y = std::max(y + l.mm(8), plotBottom + l.mm(4));
    }

    l.rule(y, left, right);
    y += l.mm(2);
    const double third = width / 3;
    for (std::size_t i = 0; i < content.signedOff.size(); ++i) {
        const CertificateField &f = content.signedOff[i];
        const double x = left + third * static_cast<double>(i);
        l.text(QRectF(x, y, third, 0), f.label, l.font(2.6), kMuted);
        l.text(QRectF(x, y + l.mm(3.5), third, 0), f.value, l.font(3.2, true), kInk);
    }
    painter.restore();
}

} // namespace

void PaintCertificate(QPainter &painter, const QRectF &page, const CheckRecord &record, const QLocale &locale)
{
    paintPage(painter, page, CertificateContent(record, locale), &record);
}

void PaintCertificate(QPainter &painter, const QRectF &page, const CertificatePage &content)
{
    paintPage(painter, page, content, nullptr);
}

Done PrintKeptCertificate(QPagedPaintDevice &device, const QStringList &pageLines)
{
    const QString what = QStringLiteral("The certificate cannot be printed");
    QPainter painter;
    if (!painter.begin(&device))
        return Problem{what, QStringLiteral("the printer would not start the page"), {}};
    const QRect page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    PaintCertificate(painter, QRectF(QPointF(0, 0), page.size().toSizeF()), CertificateFromLines(pageLines));
    if (!painter.end())
        return Problem{what, QStringLiteral("the printer would not finish the page"), {}};
    return {};
}

namespace {

Tone toneOfWord(const QString &word)
{
    return word == QLatin1String("PASS") ? Tone::Pass : word == QLatin1String("FAIL") ? Tone::Fail : Tone::Neutral;
}

// "Label: value" as CertificateLines writes a field.
CertificateField fieldOf(const QString &line)
{
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    if (colon < 0)
        return {line, {}};
    return {line.left(colon), line.mid(colon + 2)};
}

} // namespace

CertificatePage CertificateFromLines(const QStringList &lines)
{
    CertificatePage page;
    const QString title = QStringLiteral("EXHAUST EMISSIONS CHECK");
    const qsizetype titleAt = lines.indexOf(title);
    if (titleAt < 0 || lines.size() < titleAt + 2)
        return page;
    page.header = lines.mid(0, titleAt).join(QLatin1Char('\n'));
    page.title = title;
    page.verdict = lines[titleAt + 1];
    page.tone = toneOfWord(page.verdict);
    qsizetype at = titleAt + 2;
    if (at < lines.size() && !lines[at].startsWith(QLatin1String("Registration: ")))
        page.verdictNote = lines[at++];
    // The vehicle's seven fields and the limits' three, as CertificateContent gives them.
    for (int i = 0; i < 7 && at < lines.size(); ++i)
        page.vehicle.push_back(fieldOf(lines[at++]));
    for (int i = 0; i < 3 && at < lines.size(); ++i)
        page.limits.push_back(fieldOf(lines[at++]));
    const qsizetype signedAt = std::max(at, lines.size() - 3);

    static const QRegularExpression stageLine(QStringLiteral("^((?:Fast|Natural) idle, \\d+ to \\d+ rpm): (.+)$"));
    static const QRegularExpression gasLine(QStringLiteral("^(.+): mean (.*), worst (.*), limit (.*): (.*)$"));
    bool inNotes = false, inObd = false;
    const QString obdTitle = kObdTitle + QStringLiteral(": ");
    for (; at < signedAt; ++at) {
        const QString &line = lines[at];
        if (line.startsWith(QLatin1String("Residual HC")))
            inObd = false;
        if (!inNotes && !page.stages.empty() && line.startsWith(obdTitle)) {
            page.obd.emplace();
            page.obd->verdict = line.mid(obdTitle.size());
            page.obd->tone = toneOfWord(page.obd->verdict);
            inObd = true;
            continue;
        }
        if (inObd) {
            if (line.startsWith(kMonitorLine))
                page.obd->monitors.push_back(fieldOf(line.mid(kMonitorLine.size())));
            else if (line.startsWith(kFindingLine))
                page.obd->findings << line.mid(kFindingLine.size());
            else if (line.startsWith(kLostLine))
                page.obd->lost = line;
            else
                page.obd->fields.push_back(fieldOf(line));
            continue;
        }
        const QRegularExpressionMatch stage = stageLine.match(line);
        if (!inNotes && stage.hasMatch()) {
            StageOutcome s;
            s.ran = true;
            s.kind = line.startsWith(QLatin1String("Fast")) ? StageKind::FastIdle : StageKind::NaturalIdle;
            s.title = stage.captured(1);
            s.verdict = stage.captured(2);
            s.tone = toneOfWord(s.verdict);
            page.stages.push_back(s);
            continue;
        }
        // The notes begin with the residual HC, which every certificate states.
        if (line.startsWith(QLatin1String("Residual HC")) || page.stages.empty())
            inNotes = true;
        if (inNotes) {
            page.notes << line;
            continue;
        }
        StageOutcome &s = page.stages.back();
        const QRegularExpressionMatch gas = gasLine.match(line);
        if (gas.hasMatch()) {
            GasResult g;
            g.gas = gas.captured(1);
            g.mean = gas.captured(2);
            g.worst = gas.captured(3);
            g.limit = gas.captured(4);
            g.result = gas.captured(5);
            g.verdict = g.result == QLatin1String("PASS")            ? GasVerdict::Pass
                        : g.result.startsWith(QLatin1String("FAIL")) ? GasVerdict::Fail
                                                                     : GasVerdict::Recorded;
            s.gases.push_back(g);
        } else if (s.gases.empty() && s.window.isEmpty()) {
            s.window = line;
        } else {
            s.reason = line;
        }
    }
    for (; at < lines.size(); ++at)
        page.signedOff.push_back(fieldOf(lines[at]));
    return page;
}

} // namespace qova::check
