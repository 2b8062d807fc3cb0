#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSettings;
class QWidget;

namespace qova::ui {

// A window's frame within `screen` (its available area): no larger than it, and moved onto
// it where it hangs over an edge.
QRect FittedToScreen(const QRect &frame, const QRect &screen);

// How much of a saved frame must lie on a screen for it to be put back there: enough of its
// title bar to take hold of.
inline constexpr int kGraspWidth = 80, kGraspHeight = 20;

// Where a window saved at `saved` goes now, given the screens' available areas: on the
// screen that holds its title bar, fitted to it; nothing when that lies on no screen (the
// screen was unplugged, or the file was edited), so the window opens where it would anyway.
std::optional<QRect> RestoredPlace(const QRect &saved, const QList<QRect> &screens);

// The place as kept in the settings ("x y width height"), and read back; a text that is not
// four whole numbers with a size between 1 and kLargestSide is nothing.
inline constexpr int kLargestSide = 32767;
QString PlaceText(const QRect &place);
std::optional<QRect> PlaceFromText(const QString &text);

// Keeps every program window within its screen when it is shown, and a window that has a
// place key (the property kPlaceKey) where the operator left it, between runs.
inline constexpr char kPlaceKey[] = "qovaPlaceKey";
class WindowPlaces final : public QObject {
public:
    using SettingsOpener = std::function<std::unique_ptr<QSettings>()>;
    explicit WindowPlaces(SettingsOpener settings, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void shown(QWidget *window);
    void hidden(QWidget *window);
    static void fitToScreen(QWidget *window);

    SettingsOpener settings_;
    QList<QWidget *> restored_;
};

} // namespace qova::ui
