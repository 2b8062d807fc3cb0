#pragma once

#include "history/testarchive.h"
#include "result/result.h"

#include <QString>

namespace qova::credentials {
class CredentialStore;
}

namespace qova::app {

// The history's location (on Linux ~/.config/Qovaks/history.conf, on Windows
// HKEY_CURRENT_USER\Software\Qovaks\history) and the server's password, which is kept in
// the credential store and never in the settings or the URL.
struct HistorySettings {
    QString url;      // empty: the embedded default; never with a password
    QString password; // for a PostgreSQL URL; blank: ~/.pgpass
};

// Reads the settings and the password. Settings an older version wrote with a password
// in them (its own key, or in the URL) are moved over: the password into the store and
// the settings rewritten without it, once the store has it.
// `ignored`, when given, gets a line for each value that was not text and was left out.
HistorySettings ReadHistorySettingsFrom(credentials::CredentialStore &store, QStringList *ignored = nullptr);
HistorySettings ReadHistorySettings(QStringList *ignored = nullptr);
// Keeps the URL without a password (one typed into it is the password) and the password in
// the store. The problem says which of the two could not be kept and why.
qova::Done WriteHistorySettingsTo(const HistorySettings &settings, credentials::CredentialStore &store);
qova::Done WriteHistorySettings(const HistorySettings &settings);

// The URL as typed split into the URL without a password and the password it held.
HistorySettings WithoutPasswordInUrl(const HistorySettings &typed);

// Where the program keeps the password, for HISTORY > DATABASE.
QString HistoryPasswordPlace();

// The archive's settings in force: QOVA_DATABASE over the settings' URL over the default,
// and the queue of waiting tests in the user's data folder.
history::TestArchive::Settings ArchiveSettings(const HistorySettings &settings);

} // namespace qova::app
