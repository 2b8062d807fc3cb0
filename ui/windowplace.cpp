#include "ui/windowplace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace qova::ui {

namespace {
const QString kGroup = QStringLiteral("windows/");

// The window system's frame is not known before the window is first mapped: room for a
// common title bar and border is kept instead.
constexpr int kFrameAllowanceWidth = 16, kFrameAllowanceHeight = 40;

QRect titleBar(const QRect &frame)
{
    return QRect(frame.left(), frame.top(), frame.width(), std::min(frame.height(), kGraspHeight));
}
} // namespace

QRect FittedToScreen(const QRect &frame, const QRect &screen)
{
    QRect out(frame.topLeft(), frame.size().boundedTo(screen.size()));
    if (out.right() > screen.right())
        out.moveRight(screen.right());
    if (out.bottom() > screen.bottom())
        out.moveBottom(screen.bottom());
    if (out.left() < screen.left())
        out.moveLeft(screen.left());
    if (out.top() < screen.top())
        out.moveTop(screen.top());
    return out;
}

std::optional<QRect> RestoredPlace(const QRect &saved, const QList<QRect> &screens)
{
    if (!saved.isValid())
        return std::nullopt;
    for (const QRect &screen : screens) {
        const QRect grasp = titleBar(saved).intersected(screen);
        if (grasp.width() >= std::min(kGraspWidth, saved.width()) &&
            grasp.height() >= std::min(kGraspHeight, saved.height()))
            return FittedToScreen(saved, screen);
    }
    return std::nullopt;
}

QString PlaceText(const QRect &place)
{
    return QStringLiteral("%1 %2 %3 %4").arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height());
}

std::optional<QRect> PlaceFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int n[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        n[i] = parts[i].toInt(&ok);
        if (!ok || std::abs(n[i]) > kLargestSide)
            return std::nullopt;
    }
    if (n[2] < 1 || n[3] < 1)
        return std::nullopt;
    return QRect(n[0], n[1], n[2], n[3]);
}

WindowPlaces::WindowPlaces(SettingsOpener settings, QObject *parent) : QObject(parent), settings_(std::move(settings))
{
}

bool WindowPlaces::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    // The program's windows, not Qt's own (a combo box's list is a window of its own).
    if (widget == nullptr || !widget->isWindow() || !QByteArray(widget->metaObject()->className()).startsWith("qova::"))
        return false;
    if (event->type() == QEvent::Show)
        shown(widget);
    else
        hidden(widget);
    return false;
}

void WindowPlaces::shown(QWidget *window)
{
    // A maximised window is the screen's size already, by the window system's own measure.
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QString key = window->property(kPlaceKey).toString();
    if (!key.isEmpty() && settings_ && !restored_.contains(window)) {
        restored_.append(window);
        connect(window, &QObject::destroyed, this, [this, window] { restored_.removeAll(window); });
        QList<QRect> screens;
        for (const QScreen *s : QGuiApplication::screens())
            screens.append(s->availableGeometry());
        const auto saved = PlaceFromText(settings_()->value(kGroup + key).toString());
        if (const auto place = saved ? RestoredPlace(*saved, screens) : std::nullopt)
            window->setGeometry(*place);
    }
    // After the window's own show, which may place it (the live graph does).
    QTimer::singleShot(0, window, [window] { fitToScreen(window); });
}

void WindowPlaces::fitToScreen(QWidget *window)
{
    if (!window->isVisible() || (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QScreen *screen = window->screen();
    if (screen == nullptr)
        return;
    const QRect client = window->geometry();
    QSize frame = window->frameGeometry().size() - client.size();
    if (frame.isNull() && !(window->windowFlags() & Qt::FramelessWindowHint))
        frame = QSize(kFrameAllowanceWidth, kFrameAllowanceHeight);
    const QRect fitted = FittedToScreen(QRect(client.topLeft(), client.size() + frame), screen->availableGeometry());
    const QRect wanted(fitted.topLeft(), fitted.size() - frame);
    if (wanted != client)
        window->setGeometry(wanted);
}

void WindowPlaces::hidden(QWidget *window)
{
    const QString key = window->property(kPlaceKey).toString();
    if (key.isEmpty() || !settings_ || window->isMaximized() || window->isFullScreen())
        return;
    settings_()->setValue(kGroup + key, PlaceText(window->geometry()));
}

} // namespace qova::ui
