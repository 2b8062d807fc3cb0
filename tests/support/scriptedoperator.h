#pragma once

#include "operator.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace qova::test {

// Stands in for the operator: answers boxes from a queue and remembers every box shown,
// so a window test never blocks on a modal box.
class ScriptedOperator final : public ui::Operator {
public:
    struct Shown {
        QString caption;
        QString text;
        ui::Icon icon;
        ui::Buttons buttons;
        QString detail;
    };

    // Answers to the next boxes, first first. With the queue empty a box gets Ok, or No
    // when it asks Yes or No.
    std::deque<ui::Answer> answers;
    // Paths the next file dialogs return; empty means cancelled.
    std::deque<QString> files;
    // Runs while a box is "open", to look at the world at that moment.
    std::function<void(const Shown &)> onMessage;

    const std::vector<Shown> &shown() const { return shown_; }
    QStringList texts() const;
    int fileDialogs() const { return fileDialogs_; }
    void clear() { shown_.clear(); }

    ui::Answer message(QWidget *parent, const QString &caption, const QString &text, ui::Icon icon, ui::Buttons buttons,
                       const QString &detail = {}) override;
    QString openFileName(QWidget *parent, const ui::FileRequest &request) override;
    QString saveFileName(QWidget *parent, const ui::FileRequest &request) override;

private:
    QString nextFile();

    std::vector<Shown> shown_;
    int fileDialogs_ = 0;
};

} // namespace qova::test
