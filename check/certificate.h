#pragma once

#include "checkrecord.h"

#include <QLocale>
#include <QRectF>
#include <QStringList>
#include <vector>

class QPainter;

namespace qova::check {

// The certificate of one check as texts, laid out by PaintCertificate and kept whole by
// CertificateLines, so the page and the history's copy of it never say different things.
struct CertificateField {
    QString label, value;
};
struct CertificateRow {
    QString gas, mean, worst, limit, result;
};
enum class CertificateTone : std::uint8_t { Neutral, Pass, Fail };
struct CertificateStage {
    QString title;   // "Fast idle, 2500 to 3000 rpm"
    QString verdict; // "PASS", "FAIL", "RECORDED", "NOT RUN"
    CertificateTone tone = CertificateTone::Neutral;
    QString window; // which 5 s decided it
    std::vector<CertificateRow> rows;
    QString reason;
};
struct CertificatePage {
    QString header;
    QString title;
    QString verdict; // "PASS", "FAIL", "READINGS RECORDED", "ABANDONED"
    CertificateTone tone = CertificateTone::Neutral;
    QString verdictNote;
    std::vector<CertificateField> vehicle, limits;
    std::vector<CertificateStage> stages;
    QStringList notes;
    std::vector<CertificateField> signedOff; // date, time, operator
};

// `locale` writes the dates and the time (the workstation's, without a time zone).
CertificatePage CertificateContent(const CheckRecord &record, const QLocale &locale = QLocale());

// The texts of the page, in the order they are painted.
QStringList CertificateLines(const CheckRecord &record, const QLocale &locale = QLocale());

// The whole certificate on one page of any paint device (a printer, a PDF, an image);
// `page` is the printable area in the painter's coordinates.
void PaintCertificate(QPainter &painter, const QRectF &page, const CheckRecord &record,
                      const QLocale &locale = QLocale());

} // namespace qova::check
