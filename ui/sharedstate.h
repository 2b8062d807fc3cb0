#pragma once

#include "serialport.h"

#include <QByteArray>
#include <QString>

namespace qova::ui {

class Operator;

// What every window shares, owned by the main window and handed to each window it
// makes: the serial port, the locale flag, the recording and the stored tests.
struct SharedState {
    SharedState(link::DeviceFactory factory, link::Pause &pause, Operator &op)
        : port(std::move(factory), pause), op(&op)
    {
    }

    link::PortState port;
    Operator *op;

    bool UsLocale = false;
    bool Recording = false;
    QString RecordFileName;
    QString StoreFileName;
    QByteArray StoreData;
    int StoreRecordCount = 0;
};

} // namespace qova::ui
