#pragma once

#include "history/testarchive.h"
#include "link/pause.h"
#include "tests/support/archivewait.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"
#include "ui/sharedstate.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace qova::test {

// What a window test sets up before each case: a temporary folder it works in, so that
// files a window writes next to the program land there; a fresh scripted operator; PDF
// printing; and the shared state the windows take. Test classes derive from it and call
// setUpWindows() from init() and tearDownWindows() from cleanup().
class WindowRig {
protected:
    void setUpWindows(const QString &pdfName)
    {
        dir_ = std::make_unique<QTemporaryDir>();
        oldCwd_ = QDir::currentPath();
        QDir::setCurrent(dir_->path());
        op_ = ScriptedOperator();
        printing_ = std::make_unique<PdfPrinting>(dir_->filePath(pdfName));
        state_ = std::make_unique<ui::SharedState>(link::DeviceFactory{}, pause_, op_);
        state_->printing = printing_.get();
        state_->CompanyHeader = QStringLiteral("ACME MOTORS");
    }

    // Tests of the history keep every printed report in a database of their own.
    void openHistory(const QString &url, const QString &pendingFile)
    {
        archive_ = std::make_unique<history::TestArchive>(history::TestArchive::Settings{url, {}, pendingFile});
        state_->history = archive_.get();
    }

    // What the history holds now, once every request so far was answered.
    history::HistoryDatabase &readHistory()
    {
        archive_->settle();
        reader_ = ReadHistory(*archive_);
        return *reader_;
    }

    // The state goes before the history it points to, and the folder after both.
    void tearDownWindows()
    {
        reader_.reset();
        state_.reset();
        archive_.reset();
        QDir::setCurrent(oldCwd_);
        dir_.reset();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QString oldCwd_;
    link::VirtualPause pause_;
    ScriptedOperator op_;
    std::unique_ptr<PdfPrinting> printing_;
    std::unique_ptr<ui::SharedState> state_;
    std::unique_ptr<history::TestArchive> archive_;
    std::unique_ptr<history::HistoryDatabase> reader_;
};

} // namespace qova::test
