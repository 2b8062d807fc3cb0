#include "report/ui/recorder.h"

#include "report/timetext.h"
#include "report/ui/recorddialog.h"
#include "ui/operator.h"
#include "ui/sharedstate.h"

#include <QFileInfo>
#include <QLocale>
#include <QRadioButton>
#include <QWidget>

namespace qova::report {

Recorder::Recorder(ui::SharedState &state) : state_(state)
{
    state_.recordReading = [this](const link::LiveReading &reading) { WriteRecordRow(reading); };
    state_.stopRecording = [this] { stop(); };
}

Recorder::~Recorder()
{
    stop();
    state_.recordReading = nullptr;
    state_.stopRecording = nullptr;
}

QString Recorder::baseCaption() const
{
    return QStringLiteral("QOVA    ") + link::PortCaptionName(state_.port);
}

void Recorder::Button5Click(QWidget *window, TForm12 &dialog)
{
    dialog.exec();
    if (!dialog.okPressed())
        return;
    if (dialog.RadioButton1->isChecked()) {
        ui::FileRequest request;
        request.caption = QStringLiteral("Record in file");
        request.filter = RecordFileFilters();
        request.defaultSuffix = QLatin1String(kRecordTextSuffix);
        // Recording empties the file it is given: an earlier recording is not lost
        // without the operator being asked.
        request.confirmOverwrite = true;
        QString filter;
        const QString path = state_.op->saveFileName(window, request, &filter);
        if (path.isEmpty()) {
            state_.op->message(window, QStringLiteral("QOVA"), QStringLiteral("   User Canceled    "), ui::Icon::None,
                               ui::Buttons::Ok);
            return;
        }
        const RecordTarget target = RecordTargetFor(path, filter);
        // The dialog asked about the name it returned; a file under the name with .csv
        // added here was never shown to the operator.
        if (target.suffixAdded && QFileInfo::exists(target.path) &&
            state_.op->message(window, QStringLiteral("QOVA"),
                               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(target.path),
                               ui::Icon::Warning, ui::Buttons::YesNo) != ui::Answer::Yes) {
            state_.op->message(window, QStringLiteral("QOVA"), QStringLiteral("   User Canceled    "), ui::Icon::None,
                               ui::Buttons::Ok);
            return;
        }
        start(window, target.path, target.format);
    } else if (state_.Recording) {
        stop();
        if (window)
            window->setWindowTitle(baseCaption());
    }
}

void Recorder::start(QWidget *window, const QString &path, RecordFormat format)
{
    // A running recording ends before the next one begins, so its file is closed whole.
    stop();
    window_ = window;
    state_.RecordFileName = path;
    if (const Done opened = file_.open(path, format); !opened.ok()) {
        if (window)
            window->setWindowTitle(baseCaption());
        // The system's reason under Show Details, as the recording has always shown it.
        state_.op->message(window, QStringLiteral("QOVA"), opened.problem().what, ui::Icon::Stop, ui::Buttons::Ok,
                           opened.problem().why);
        return;
    }
    state_.Recording = true;
    if (window)
        window->setWindowTitle(baseCaption() + QStringLiteral("   Recording in :  ") + QFileInfo(path).fileName());
}

void Recorder::WriteRecordRow(const link::LiveReading &reading)
{
    if (!file_.isOpen() || !ShouldRecord(reading))
        return;
    const QDateTime now = state_.now();
    const QByteArray row = file_.format() == RecordFormat::Csv
                               ? RecordCsvRow(reading, now)
                               : RecordRow(reading, ReportTime(QLocale::system(), now.time()));
    const Done written = file_.writeRow(row);
    if (written.ok())
        return;
    // Off before the box shows: a poll cycle run while it is open must not write again.
    state_.Recording = false;
    if (window_)
        window_->setWindowTitle(baseCaption());
    state_.op->message(window_, QStringLiteral("QOVA"), written.problem().what, ui::Icon::Stop, ui::Buttons::Ok,
                       written.problem().why);
}

void Recorder::stop()
{
    file_.close();
    state_.Recording = false;
}

} // namespace qova::report
