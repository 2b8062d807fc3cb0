#pragma once

#include "ui/operator.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace qova::test {

// Stands in for the operator: answers boxes and file dialogs from queues the test fills,
// and logs everything it was shown. A box with no scripted answer gets the cautious
// one (OK, No, Cancel); a file dialog with none is cancelled.
class ScriptedOperator final : public ui::Operator {
public:
    struct Shown {
        QString caption;
        QString text;
        ui::Icon icon;
        ui::Buttons buttons;
        QString detail;
    };

    std::deque<ui::Answer> answers;
    std::deque<QString> openNames;
    std::deque<QString> saveNames;
    // The filter left selected with each save name; with none, the request's first, as a
    // dialog opens.
    std::deque<QString> saveFilters;
    std::vector<Shown> shown;
    std::vector<ui::FileRequest> fileRequests;
    // Runs while a box is "open", before it is answered.
    std::function<void(const Shown &)> onMessage;

    ui::Answer message(QWidget *, const QString &caption, const QString &text, ui::Icon icon, ui::Buttons buttons,
                       const QString &detail = {}) override
    {
        shown.push_back({caption, text, icon, buttons, detail});
        if (onMessage)
            onMessage(shown.back());
        if (!answers.empty()) {
            const ui::Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (buttons) {
        case ui::Buttons::YesNo:
        case ui::Buttons::NoYes:
            return ui::Answer::No;
        case ui::Buttons::OkCancel:
            return ui::Answer::Cancel;
        case ui::Buttons::Ok:
            break;
        }
        return ui::Answer::Ok;
    }

    QString openFileName(QWidget *, const ui::FileRequest &request) override { return next(openNames, request); }
    QString saveFileName(QWidget *, const ui::FileRequest &request, QString *selectedFilter = nullptr) override
    {
        QString filter = request.filter.section(QStringLiteral(";;"), 0, 0);
        if (!saveFilters.empty()) {
            filter = saveFilters.front();
            saveFilters.pop_front();
        }
        if (selectedFilter)
            *selectedFilter = filter;
        return next(saveNames, request);
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out << s.text;
        return out;
    }

private:
    QString next(std::deque<QString> &names, const ui::FileRequest &request)
    {
        fileRequests.push_back(request);
        if (names.empty())
            return {};
        QString name = names.front();
        names.pop_front();
        return name;
    }
};

} // namespace qova::test
