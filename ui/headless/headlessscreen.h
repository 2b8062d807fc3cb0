#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace qova::headless {

// A test or tool run from a terminal without a display still makes its windows. Call before
// the application object is made.
inline void PreferOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Under the offscreen platform, one screen of `width` by `height` pixels. Call before the
// application object is made; `configPath` must outlive it. False when the screen's
// description cannot be written.
inline bool UseScreen(const QString &configPath, int width, int height)
{
    if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
        return true;
    QFile f(configPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"name": "workshop", "x": 0, "y": 0,
                "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})")
                .arg(width)
                .arg(height)
                .toLatin1());
    f.close();
    // Qt splits the platform's options at ':', so a Windows path goes without its drive
    // letter, relative to the current folder; one on another drive cannot be named.
    QString path = configPath;
    if (path.contains(QLatin1Char(':')))
        path = QDir::current().relativeFilePath(path);
    if (path.contains(QLatin1Char(':')))
        return false;
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
    return true;
}

// The windows lay themselves out for the screen they are on: under the offscreen platform,
// give it one screen 1024 pixels wide, as the workshop PCs have.
inline bool UseWorkshopScreen(const QString &configPath)
{
    return UseScreen(configPath, 1024, 768);
}

} // namespace qova::headless
