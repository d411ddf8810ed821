#include "form1.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

using namespace kestrel;

// Timer1 ticks every 17 ms; ticks that fell due while the thread was busy
// are not made up afterwards in a burst.
class TickTest : public QObject {
    Q_OBJECT
private slots:
    void aLateTickIsServedOnceNotInABurst() {
        Form1 form;
        MachineState& state = form.machine().State;
        state.DelayTimer = 200;
        // Let the tick run normally for a while first.
        QTRY_VERIFY_WITH_TIMEOUT(state.DelayTimer <= 197, 2000);

        // Busy for ten periods, then serve events for a few milliseconds:
        // fewer than one period, so only the late tick itself can come.
        const int before = state.DelayTimer;
        QThread::msleep(170);
        QElapsedTimer serving;
        serving.start();
        while (serving.elapsed() < 5) QCoreApplication::processEvents();
        QCOMPARE(before - state.DelayTimer, 1);

        // And the rhythm goes on from there at 17 ms.
        QElapsedTimer afterwards;
        afterwards.start();
        const int resumed = state.DelayTimer;
        while (afterwards.elapsed() < 170) QCoreApplication::processEvents();
        const int served = resumed - state.DelayTimer;
        QVERIFY2(served >= 7 && served <= 11, qPrintable(QString::number(served)));
    }
};

QTEST_MAIN(TickTest)
#include "tick_test.moc"
