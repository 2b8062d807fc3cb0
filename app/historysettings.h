#pragma once

#include "testarchive.h"

#include <QString>

namespace qova::app {

// The history's location and password, kept apart from the company header's settings
// (on Linux ~/.config/Qovaks/history.conf, on Windows HKEY_CURRENT_USER\Software\Qovaks\history).
struct HistorySettings {
    QString url;      // empty: the embedded default
    QString password; // for a PostgreSQL URL without one; else ~/.pgpass
};

// `ignored`, when given, gets a line for each value that was not text and was left out.
HistorySettings ReadHistorySettings(QStringList *ignored = nullptr);
// False when the settings cannot be written (then nothing changed).
bool WriteHistorySettings(const HistorySettings &settings);

// The archive's settings in force: QOVA_DATABASE over the settings' URL over the default,
// and the queue of waiting tests in the user's data folder.
history::TestArchive::Settings ArchiveSettings(const HistorySettings &settings);

} // namespace qova::app
