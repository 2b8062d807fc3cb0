#pragma once

#include <QRect>
#include <QString>
#include <utility>

namespace qova::ui {

// A child of a window laid out at fixed places, as the analyser's forms are: made with
// `args` (its text, its parent), named as the tests and the keyboard map find it, and put
// at `place` within its parent.
template <typename Widget, typename... Args> Widget *Placed(const char *objectName, const QRect &place, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setGeometry(place);
    return widget;
}

} // namespace qova::ui
