#pragma once

#include "store/upload.h"

#include <QDialog>

class QLabel;

namespace qova::store {

// Shown while an upload runs: what has come from the analyser so far. It has no buttons;
// the exchange ends on the analyser's terms.
class UploadProgressWindow final : public QDialog {
    Q_OBJECT
public:
    explicit UploadProgressWindow(QWidget *parent = nullptr);
    void setProgress(const UploadProgress &progress);

    QLabel *Accepted = nullptr;
    QLabel *Rejected = nullptr;
    QLabel *Received = nullptr;
};

} // namespace qova::store
