#pragma once

#include <QString>

class QWidget;

namespace qova::ui {

enum class Icon { None, Information, Question, Warning, Stop };
// NoYes: Yes and No with No the default, for a question whose Yes loses work.
enum class Buttons { Ok, YesNo, OkCancel, NoYes };
enum class Answer { Ok, Yes, No, Cancel };

struct FileRequest {
    QString caption;
    QString directory;
    QString filter; // several separated by ";;", the first selected
    // Added to a name typed without one. With several filters it follows the one selected
    // (its first pattern's suffix), so a name typed under "(*.csv)" does not end in .TXT.
    QString defaultSuffix;
    bool confirmOverwrite = true;
};

// Everything that waits for the operator goes through here: message boxes and file
// dialogs. The program uses the real boxes; tests put a scripted operator in its place,
// so no test ever hangs on a modal box.
class Operator {
public:
    virtual ~Operator() = default;

    // `detail` (the system's reason for a failure, where to fix it) is shown under the text.
    virtual Answer message(QWidget *parent, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                           const QString &detail = {}) = 0;
    // The chosen path, or empty when cancelled.
    virtual QString openFileName(QWidget *parent, const FileRequest &request) = 0;
    // `selectedFilter`, when given, gets the filter the operator left selected.
    virtual QString saveFileName(QWidget *parent, const FileRequest &request, QString *selectedFilter = nullptr) = 0;
};

// Real modal boxes and the platform's file dialogs.
class WidgetOperator final : public Operator {
public:
    Answer message(QWidget *parent, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                   const QString &detail = {}) override;
    QString openFileName(QWidget *parent, const FileRequest &request) override;
    QString saveFileName(QWidget *parent, const FileRequest &request, QString *selectedFilter = nullptr) override;
};

// The suffix a name filter stands for: its first pattern's, "TXT" for
// "Qova Test Data File (*.TXT *.txt)"; empty when that pattern is not "*.suffix".
QString FilterSuffix(const QString &filter);

} // namespace qova::ui
