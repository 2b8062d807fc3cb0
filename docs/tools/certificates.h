#pragma once

#include <QDir>

namespace qova::docs {

// The certificates of two checks run against the simulated analyser's cars, a pass and a
// fail, as A4 pages 1240 pixels wide: certificate-pass.png and certificate-fail.png; and the
// good car under an EU set read through an OBD adapter with its warning lamp on:
// certificate-obd.png.
// Returns how many could not be saved.
int SaveCertificates(const QDir &outDir);

} // namespace qova::docs
