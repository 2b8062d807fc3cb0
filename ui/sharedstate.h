#pragma once

#include "link/livereading.h"
#include "link/livesession.h"
#include "link/serialport.h"
#include "result/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;

namespace qova::history {
class TestArchive;
}
namespace qova::obd {
class ObdLink;
}

namespace qova::ui {

class Operator;
class Printing;

// What every window shares, owned by the main window and handed to each window it
// makes: the serial port, the locale flag, the recording and the stored tests.
struct SharedState {
    SharedState(link::DeviceFactory factory, link::Pause &pause, Operator &op)
        : port(std::move(factory), pause), op(&op)
    {
    }

    link::PortState port;
    // The live exchange over `port`; the live windows show it while they are open.
    link::LiveSession session{port};
    Operator *op;
    Printing *printing = nullptr;
    // Prints the certificate of an emissions check again from the texts the history kept
    // of it; a problem when the printer would not take the page. None: the report page prints them.
    std::function<qova::Done(QPrinter &printer, const QStringList &pageLines)> printCertificate;
    // The car's OBD adapter beside the analyser; none when no adapter is chosen.
    obd::ObdLink *obd = nullptr;
    // Where every printed report is also saved; none in tests that do not look at it.
    history::TestArchive *history = nullptr;
    // The workstation's clock, for report dates and the analyser's time setting.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool UsLocale = false;
    // The company header at the head of every printed report: at most 39 characters.
    QString CompanyHeader;
    bool Recording = false;
    QString RecordFileName;
    QString StoreFileName;
    QByteArray StoreData;
    int StoreRecordCount = 0;

    // Set by the recording: the digital display hands it every valid reading while
    // Recording is true, and stops it when the display closes.
    std::function<void(const link::LiveReading &)> recordReading;
    std::function<void()> stopRecording;
};

} // namespace qova::ui
