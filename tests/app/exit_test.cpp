// Exit and closing the window end the process at once with status 0, from
// wherever the user chose them; a missing audio device is said once.

#include <QProcess>
#include <QTest>

class ExitTest : public QObject {
    Q_OBJECT

    struct Ended {
        QProcess::ExitStatus status;
        int code;
        QByteArray out;
        QByteArray err;
    };

    static Ended runHelper(const QString& way,
                           const QString& audioDriver = QStringLiteral("dummy")) {
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), audioDriver);
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(KESTREL_EXIT_HELPER), {way});
        // Generous deadlines: a wait that is met ends at once, and the
        // helper gives up by itself after 20 s of not being ready.
        if (!helper.waitForStarted(15000)) return {QProcess::CrashExit, -1, {}, "did not start"};
        if (!helper.waitForFinished(40000)) {
            helper.kill();
            helper.waitForFinished(2000);
            qWarning("%s: did not end in 40 s; its error output: %s", qPrintable(way),
                     helper.readAllStandardError().constData());
            return {QProcess::CrashExit, -2, {}, "did not end"};
        }
        Ended ended{helper.exitStatus(), helper.exitCode(), helper.readAllStandardOutput(),
                    helper.readAllStandardError()};
        if (ended.status != QProcess::NormalExit || ended.code != 0)
            qWarning("%s: ended with %d; its error output: %s", qPrintable(way), ended.code,
                     ended.err.constData());
        return ended;
    }

  private slots:
    void exitFromTheMenuDuringAKeyWaitEndsWithStatusZero() {
        const Ended ended = runHelper(QStringLiteral("menu"));
        QCOMPARE(ended.status, QProcess::NormalExit);
        QCOMPARE(ended.code, 0);
        QVERIFY2(!ended.out.contains("continued"), ended.out.constData());
    }

    void closingTheWindowWhileAProgramRunsEndsWithStatusZero() {
        const Ended ended = runHelper(QStringLiteral("close"));
        QCOMPARE(ended.status, QProcess::NormalExit);
        QCOMPARE(ended.code, 0);
        QVERIFY2(!ended.out.contains("continued"), ended.out.constData());
    }

    void exitDuringARemapWaitEndsWithStatusZero() {
        const Ended ended = runHelper(QStringLiteral("remap"));
        QCOMPARE(ended.status, QProcess::NormalExit);
        QCOMPARE(ended.code, 0);
        QVERIFY2(!ended.out.contains("continued"), ended.out.constData());
    }

    void withoutAnAudioDeviceKestrelSaysSoOnceAndRunsSilently() {
        const Ended ended =
            runHelper(QStringLiteral("tones"), QStringLiteral("no-such-audio-driver"));
        QCOMPARE(ended.status, QProcess::NormalExit);
        QCOMPARE(ended.code, 0);
        int lines = 0;
        for (const QByteArray& line : ended.err.split('\n')) {
            if (line.startsWith("Kestrel:")) {
                ++lines;
                QVERIFY2(line.contains("silent"), line.constData());
            }
        }
        QCOMPARE(lines, 1);
    }
};

QTEST_MAIN(ExitTest)
#include "exit_test.moc"
