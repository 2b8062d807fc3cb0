#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

class QSettings;

namespace qova::settings {

// A key that holds a whole number, as the workshop writes it ("5000"; no unit, no sign
// of thousands). A value outside [min, max] or not a number gives way to `fallback`.
struct WholeNumberRule {
    QString key;
    int fallback = 0;
    int min = 0;
    int max = 0;
    QString unit; // for the message: "ms", "0.1 °C"
};

// A key that holds one line of text of at most `maxLength` characters; control
// characters and a list (a value with an unquoted comma) are refused.
struct TextRule {
    QString key;
    QString fallback;
    int maxLength = 0;
};

// A value that was ignored: the key, the value as found, why, and what is used instead.
struct SettingsProblem {
    QString key;
    QString found;
    QString why;
    QString used;
};

// Keys read by their rules from one place (a settings file, a registry key), keeping what
// was ignored so the operator can be told. A key that is absent takes its default quietly.
class ValidatedSettings {
public:
    using LookUp = std::function<QVariant(const QString &key)>;
    // `where` names the place in messages: the file's path or the registry key.
    ValidatedSettings(LookUp lookUp, QString where);
    explicit ValidatedSettings(const QSettings &settings);

    int wholeNumber(const WholeNumberRule &rule);
    QString text(const TextRule &rule);
    // A value that passed its own rule but not one that ties it to another key:
    // `rule.key` is reported with `why` and its default used.
    int refuse(const WholeNumberRule &rule, int found, const QString &why);

    bool contains(const QString &key) const { return lookUp_(key).isValid(); }
    const std::vector<SettingsProblem> &problems() const { return problems_; }
    const QString &where() const { return where_; }
    // One line per problem: "passWindowMs = "5s" in /home/…/check.conf is not a whole
    // number; 5000 ms is used."
    QStringList messages() const;

private:
    LookUp lookUp_;
    QString where_;
    std::vector<SettingsProblem> problems_;
};

// Of `messages`, those not yet given in this run of the program (each is given once, so a
// window that reads its settings every time it opens says it the first time only).
QStringList NoticesNotYetGiven(const QStringList &messages);

} // namespace qova::settings
