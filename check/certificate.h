#pragma once

#include "checkrecord.h"
#include "checkresult.h"

#include <QLocale>
#include <QRectF>
#include <QStringList>
#include <vector>

class QPainter;

namespace qova::check {

// The certificate of one check as texts, laid out by PaintCertificate and kept whole by
// CertificateLines, so the page and the history's copy of it never say different things.
// The stages, their gases and verdicts are the check's result (`ResultOf`) as it stands.
struct CertificateField {
    QString label, value;
};
struct CertificatePage {
    QString header;
    QString title;
    QString verdict; // "PASS", "FAIL", "READINGS RECORDED", "ABANDONED"
    Tone tone = Tone::Neutral;
    QString verdictNote;
    std::vector<CertificateField> vehicle, limits;
    std::vector<StageOutcome> stages;
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
