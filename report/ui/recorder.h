#pragma once

#include "link/livereading.h"
#include "report/recording.h"

#include <QPointer>
#include <QString>

class QWidget;

namespace qova::ui {
struct SharedState;
}

namespace qova::report {

class TForm12;

// Owns the recording file from Record ON to Record OFF, or until the live window closes.
// Made once by the program; it answers the shared state's recording hooks for as long
// as it lives.
class Recorder {
public:
    explicit Recorder(ui::SharedState &state);
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // "&Record" on the live window: asks ON or OFF in `dialog`, then starts or stops.
    // `window`'s caption shows the file being recorded into. The caller keeps its timer
    // stopped meanwhile.
    void Button5Click(QWidget *window, TForm12 &dialog);
    // One row for a valid reading, when it meets the row condition.
    void WriteRecordRow(const link::LiveReading &reading);
    // Closes the file and clears Recording; nothing when no recording runs.
    void stop();

    const RecordFile &file() const { return file_; }

private:
    QString baseCaption() const;
    void start(QWidget *window, const QString &path, RecordFormat format);

    ui::SharedState &state_;
    RecordFile file_;
    QPointer<QWidget> window_;
};

} // namespace qova::report
