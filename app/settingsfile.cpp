#include "app/settingsfile.h"

#include "settings/validatedsettings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>

namespace qova::app {

int PortFromSetupBytes(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(20);
    const qsizetype eq = head.indexOf('=');
    if (eq < 0 || eq + 1 >= head.size())
        return 1;
    const char digit = head.at(eq + 1);
    if (digit >= '1' && digit <= '4')
        return digit - '0';
    return 1;
}

int ReadPortFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    return PortFromSetupBytes(file.read(20));
}

Done WritePortFile(const QString &path, int port)
{
    // Written through a temporary file, so a full disk never leaves a broken setting.
    // Unbuffered: QSaveFile's commit() does not report a write that fails only when its
    // buffer is flushed, and would put the cut-off file in place of the old one.
    QSaveFile file(path);
    const QString what = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Problem{what, file.errorString(), {}};
    const QByteArray bytes = QByteArray("PORT=") + QByteArray::number(port);
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Problem{what, why, {}};
    }
    if (!file.commit())
        return Problem{what, file.errorString(), {}};
    return {};
}

QString StartupCaption(int port)
{
    return StartupCaption(QStringLiteral("COM%1").arg(port));
}

QString CommDialogCaption(int port)
{
    return CommDialogCaption(QStringLiteral("COM%1").arg(port));
}

QString StartupCaption(const QString &portName)
{
    return QStringLiteral("QOVA    ") + portName;
}

QString CommDialogCaption(const QString &portName)
{
    return QStringLiteral("QOVA  ") + portName;
}

QString ReadDeviceChoice(QSettings &settings, QStringList *ignored)
{
    settings::ValidatedSettings read(settings);
    // Long enough for any port name or server address; a longer one is a damaged file.
    const QString choice = read.text({QString::fromLatin1(kDeviceChoiceKey), QString(), 300}).trimmed();
    if (ignored)
        *ignored << read.messages();
    return choice;
}

Done WriteDeviceChoice(QSettings &settings, const QString &device)
{
    if (device.isEmpty())
        settings.remove(QLatin1String(kDeviceChoiceKey));
    else
        settings.setValue(QLatin1String(kDeviceChoiceKey), device);
    settings.sync();
    const QString what = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(settings.fileName()));
    if (!settings.isWritable())
        return Problem{what, QStringLiteral("the system does not let the program write it"), {}};
    if (settings.status() == QSettings::AccessError)
        return Problem{what, QStringLiteral("the system refused access to it"), {}};
    if (settings.status() == QSettings::FormatError)
        return Problem{what, QStringLiteral("it is not in the settings format"), {}};
    return {};
}

bool UsLocaleFromLocaleText(const QString &text)
{
    bool ok = false;
    const long long value = text.toLongLong(&ok, 10);
    return ok && value == 409;
}

bool SystemUsLocale()
{
#ifdef Q_OS_WIN
    QSettings intl(QStringLiteral("HKEY_CURRENT_USER\\Control Panel\\International"), QSettings::NativeFormat);
    return UsLocaleFromLocaleText(intl.value(QStringLiteral("Locale"), QStringLiteral("0")).toString());
#else
    return QLocale::system().name() == QLatin1String("en_US");
#endif
}

QPoint CentredPosition(QSize client, QSize panel)
{
    return {(client.width() - panel.width()) / 2, (client.height() - panel.height()) / 2};
}

} // namespace qova::app
