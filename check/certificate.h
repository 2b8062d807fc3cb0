#pragma once

#include "check/checkrecord.h"
#include "check/checkresult.h"
#include "result/result.h"

#include <QLocale>
#include <QRectF>
#include <QStringList>
#include <cstdint>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace qova::check {

// The certificate of one check as texts, laid out by PaintCertificate and kept whole by
// CertificateLines, so the page and the history's copy of it never say different things.
// The stages, their gases and verdicts are the check's result (`ResultOf`) as it stands.
struct CertificateField {
    QString label, value;
};
// What the car's own diagnostics said, read through an OBD adapter.
struct CertificateObd {
    QString verdict; // "PASS", "FAIL", "NOT READY FOR TEST", "UNKNOWN", "RECORDED"
    Tone tone = Tone::Neutral;
    std::vector<CertificateField> fields;   // adapter, VIN, warning lamp, stored codes
    std::vector<CertificateField> monitors; // each readiness monitor and its state
    QStringList findings;                   // what the limit set's rule found
    QString lost;                           // the adapter lost during the check, as the page says it
};

struct CertificatePage {
    QString header;
    QString title;
    QString verdict; // "PASS", "FAIL", "READINGS RECORDED", "ABANDONED"
    Tone tone = Tone::Neutral;
    QString verdictNote;
    std::vector<CertificateField> vehicle, limits;
    std::vector<StageOutcome> stages;
    std::optional<CertificateObd> obd; // when an adapter took part
    QStringList notes;
    std::vector<CertificateField> signedOff; // date, time, operator
};

// `locale` writes the dates and the time (the workstation's, without a time zone).
CertificatePage CertificateContent(const CheckRecord &record, const QLocale &locale = QLocale());

// The OBD section's texts as the page and the history keep them, a line each; a screen
// short of room has the monitors on one line.
enum class MonitorLines : std::uint8_t { Each, Joined };
QStringList CertificateObdLines(const CertificateObd &obd, MonitorLines monitors = MonitorLines::Each);

// The texts of the page, in the order they are painted.
QStringList CertificateLines(const CheckRecord &record, const QLocale &locale = QLocale());
QStringList CertificateLines(const CertificatePage &page);

// The page again from the texts the history keeps of it (CertificateLines), for printing
// it again: everything but the plot, whose readings are not kept.
CertificatePage CertificateFromLines(const QStringList &lines);

// The whole certificate on one page of any paint device (a printer, a PDF, an image);
// `page` is the printable area in the painter's coordinates.
void PaintCertificate(QPainter &painter, const QRectF &page, const CheckRecord &record,
                      const QLocale &locale = QLocale());
// A page read back from the history: the plot's place says its readings are not kept.
void PaintCertificate(QPainter &painter, const QRectF &page, const CertificatePage &content);
// The certificate again from the texts the history kept, on a printer's page; a problem
// when the device would not start or finish the page.
qova::Done PrintKeptCertificate(QPagedPaintDevice &device, const QStringList &pageLines);

} // namespace qova::check
