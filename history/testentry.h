#pragma once

#include "result/result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace qova::history {

// The values of one reading in the analyser's own units, so nothing is rounded twice.
struct Values {
    int co = 0;         // 0.01 % vol
    int co2 = 0;        // 0.1 % vol
    int hc = 0;         // ppm
    int o2 = 0;         // 0.01 % vol
    int nox = 0;        // ppm
    int rpm = 0;        // 1/min
    int oilTemp = 0;    // 0.1 degC, whatever unit the page showed
    int efficiency = 0; // lambda x1000, or AFR x100 when `afr`
    friend bool operator==(const Values &, const Values &) = default;
};

// Which of the printed values were measured, bit by bit: an emissions check takes no CO2,
// O2 or NOx, and no oil temperature when the operator said the engine was warm.
enum MeasuredValue : int {
    MeasuredCo = 0x01,
    MeasuredCo2 = 0x02,
    MeasuredHc = 0x04,
    MeasuredO2 = 0x08,
    MeasuredNox = 0x10,
    MeasuredRpm = 0x20,
    MeasuredOilTemp = 0x40,
    MeasuredEfficiency = 0x80,
};
inline constexpr int kAllMeasured = 0xFF;

// What decided one stage of an emissions check: the means of the readings that decided it
// (HC of the re-check when there was one), in the analyser's units, lambda x1000.
// Everything unset when the stage was not run.
struct StageValues {
    QString verdict; // "pass", "fail", "readings recorded"; null when not run
    std::optional<int> co, hc, lambda, rpm;
    friend bool operator==(const StageValues &, const StageValues &) = default;
};

inline const QString kReportKind = QStringLiteral("report");
inline const QString kCheckKind = QStringLiteral("check");

// One test as the history keeps it.
struct TestEntry {
    qint64 id = 0; // given by the database; 0 until saved
    // Made when the test is taken: a save repeated after its answer was lost (the server
    // went away after committing) finds the row already there and adds none.
    QString uid;
    QString kind = kReportKind;
    QDateTime takenAt;
    QString registration; // as typed
    QString vehicle;
    QString companyHeader;
    QString fuel;
    int fuelCode = 0;
    int modeFlags = 0;
    bool afr = false;        // the page showed AFR rather than lambda
    bool fahrenheit = false; // the page showed degF rather than degC
    Values printed;          // as on the page (limited as the page limits them)
    Values received;         // as the analyser sent them
    QStringList pageLines;   // the page's texts, so a reprint is the same page
    QString verdict;         // null for a plain report
    int measured = kAllMeasured;
    StageValues fastIdle, naturalIdle; // of a check
    QString vin;                       // of a check, as typed or read from the car; null when not given
    // What the car's own diagnostics said, in the check result's words; null without an adapter.
    QString obdVerdict;   // "pass", "fail", "not ready for test", "unknown", "recorded"
    QString obdLamp;      // "off", "ON", "unknown: <why>"
    QString obdCodes;     // "P0133, P0420", "none", "unknown: <why>"
    QString obdReadiness; // "Misfire: complete; Catalyst: incomplete"
    // Where a check took the engine speed and found the engine warm ("analyser", "OBD";
    // "oil probe", "OBD coolant temperature", "operator"); null for a report.
    QString speedSource, warmSource;
    friend bool operator==(const TestEntry &, const TestEntry &) = default;
};

// A new entry with its uid and the time it was taken.
TestEntry NewEntry(const QDateTime &takenAt);

// What a search compares: upper case, no blanks, so "ab12 cde" finds "AB12CDE".
QString NormalisedRegistration(const QString &registration);

// ISO 8601 with the offset from UTC, to the second: 2026-03-01T09:30:00+01:00.
QString IsoTime(const QDateTime &time);
// Back from IsoTime's text, keeping the offset; invalid when it is not one.
QDateTime FromIsoTime(const QString &text);

QJsonObject ToJson(const TestEntry &entry);
// The test the object holds; the problem names the field that is missing or of the wrong kind.
qova::Result<TestEntry> FromJson(const QJsonObject &object);

} // namespace qova::history
