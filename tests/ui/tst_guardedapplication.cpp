#include "tests/support/scriptedoperator.h"
#include "ui/guardedapplication.h"

#include <QEvent>
#include <QtTest>
#include <stdexcept>

using namespace qova;

namespace {

const QEvent::Type kThrow = static_cast<QEvent::Type>(QEvent::User + 1);
const QEvent::Type kCount = static_cast<QEvent::Type>(QEvent::User + 2);

enum class Throws { OutOfRange, RuntimeError, NotAnException };

// A handler that fails the way one of the program's may: the graph control refuses a
// seventeenth point in a column with std::out_of_range.
class Handler : public QObject {
public:
    Throws throws = Throws::OutOfRange;
    int counted = 0;

    bool event(QEvent *e) override
    {
        if (e->type() == kThrow) {
            switch (throws) {
            case Throws::OutOfRange:
                throw std::out_of_range("graph column already holds 16 points");
            case Throws::RuntimeError:
                throw std::runtime_error("the port vanished");
            case Throws::NotAnException:
                throw 17;
            }
        }
        if (e->type() == kCount) {
            ++counted;
            return true;
        }
        return QObject::event(e);
    }
};

ui::GuardedApplication *guarded()
{
    return static_cast<ui::GuardedApplication *>(QCoreApplication::instance());
}

} // namespace

Q_DECLARE_METATYPE(Throws)

class TestGuardedApplication : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        op_ = test::ScriptedOperator();
        guarded()->setOperator(&op_);
    }
    void cleanup() { guarded()->setOperator(nullptr); }

    void thrownInAHandlerIsShownAndTheLoopGoesOn_data();
    void thrownInAHandlerIsShownAndTheLoopGoesOn();
    void thrownAgainWhileTheBoxIsOpenAddsNoBox();

private:
    test::ScriptedOperator op_;
};

void TestGuardedApplication::thrownInAHandlerIsShownAndTheLoopGoesOn_data()
{
    QTest::addColumn<Throws>("throws");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<QString>("text");
    const QString outOfRange =
        QStringLiteral("The last action stopped on an error: graph column already holds 16 points");
    QTest::newRow("out_of_range, sent") << Throws::OutOfRange << false << outOfRange;
    QTest::newRow("out_of_range, posted") << Throws::OutOfRange << true << outOfRange;
    QTest::newRow("runtime_error, posted")
        << Throws::RuntimeError << true << QStringLiteral("The last action stopped on an error: the port vanished");
    QTest::newRow("not a std::exception, posted")
        << Throws::NotAnException << true
        << QStringLiteral("The last action stopped on an error: an error of unknown kind");
}

void TestGuardedApplication::thrownInAHandlerIsShownAndTheLoopGoesOn()
{
    QFETCH(Throws, throws);
    QFETCH(bool, posted);
    QFETCH(QString, text);
    Handler handler;
    handler.throws = throws;
    if (posted) {
        // Through the event loop, as a timer's or a repaint's handler is reached.
        QCoreApplication::postEvent(&handler, new QEvent(kThrow));
        QCoreApplication::postEvent(&handler, new QEvent(kCount));
        QCoreApplication::processEvents();
    } else {
        QEvent e(kThrow);
        QVERIFY(!QCoreApplication::sendEvent(&handler, &e));
        QEvent later(kCount);
        QVERIFY(QCoreApplication::sendEvent(&handler, &later));
    }
    QCOMPARE(op_.shown.size(), std::size_t{1});
    QCOMPARE(op_.shown[0].caption, QStringLiteral("QOVA"));
    QCOMPARE(op_.shown[0].text, text);
    QCOMPARE(op_.shown[0].icon, ui::Icon::Stop);
    QCOMPARE(op_.shown[0].buttons, ui::Buttons::Ok);
    QCOMPARE(handler.counted, 1);
}

void TestGuardedApplication::thrownAgainWhileTheBoxIsOpenAddsNoBox()
{
    Handler handler;
    int thrownWhileOpen = 0;
    // The box's own event loop delivers a repaint that fails again.
    op_.onMessage = [&](const test::ScriptedOperator::Shown &) {
        if (thrownWhileOpen++ == 0) {
            QEvent again(kThrow);
            QCoreApplication::sendEvent(&handler, &again);
        }
    };
    QTest::ignoreMessage(QtWarningMsg,
                         "QOVA: The last action stopped on an error: graph column already holds 16 points");
    QEvent e(kThrow);
    QCoreApplication::sendEvent(&handler, &e);
    QCOMPARE(thrownWhileOpen, 1);
    QCOMPARE(op_.shown.size(), std::size_t{1});

    // Once the box is closed, the next error gets a box of its own.
    QEvent next(kThrow);
    QCoreApplication::sendEvent(&handler, &next);
    QCOMPARE(op_.shown.size(), std::size_t{2});
    QEvent later(kCount);
    QCoreApplication::sendEvent(&handler, &later);
    QCOMPARE(handler.counted, 1);
}

int main(int argc, char *argv[])
{
    ui::GuardedApplication app(argc, argv);
    TestGuardedApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_guardedapplication.moc"
