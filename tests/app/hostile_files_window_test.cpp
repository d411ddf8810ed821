// Hostile files chosen through the window's own Open ROM dialog (and, for a
// folder, which the dialog does not hand over, dropped on the window): each
// ends with one message box that names the file, memory byte for byte as it
// was and no reset; none of them makes the window hang. A ROM whose name has
// spaces and non-ASCII characters opens and runs.

#include "app_test_support.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::apptest;

namespace {

// The load runs on the UI thread, so a blocking one would stop every timer
// of the test too: a thread of its own ends the process instead of letting
// it hang.
class Watchdog {
  public:
    Watchdog(const QString& what, std::chrono::seconds limit) : what_(what.toStdString()) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                std::fprintf(stderr, "FAIL: opening %s hung the window\n", what_.c_str());
                std::_Exit(1);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

  private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

struct Outcome {
    QStringList messages; // the texts of the message boxes shown
    qint64 ms = 0;
    bool memoryKept = false;
    bool pcKept = false;
};

void fillPattern(Machine& machine) {
    for (std::size_t i = 0; i < machine.State.Memory.size(); ++i)
        machine.State.Memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
    machine.State.ProgramCounter = 1234;
}

// Notes and closes every message box that shows while it is alive. The
// polling timer shares it, so it outlives the test's frame safely.
struct MessageCollector {
    QStringList messages;
    bool stopped = false;
};

std::shared_ptr<MessageCollector> collectMessages() {
    auto collector = std::make_shared<MessageCollector>();
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, collector] {
        if (collector->stopped) {
            poll->stop();
            poll->deleteLater();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            collector->messages.append(box->text());
            box->accept();
        }
    });
    poll->start(10);
    return collector;
}

} // namespace

class HostileFilesWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Types `fileName` into the dialog and presses Enter; `chosen` runs once
    // the dialog has taken the name, before Open ROM loads it.
    static Outcome openThroughDialog(Form1& form, const QString& fileName,
                                     std::function<void()> chosen = {}) {
        Machine& machine = form.machine();
        fillPattern(machine);
        const MachineState before = machine.State;
        Outcome outcome;
        const auto collector = collectMessages();
        whenModal<QFileDialog>([fileName, chosen](QFileDialog* dialog) {
            if (chosen)
                QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                                 [chosen] { chosen(); });
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit);
            edit->setText(fileName);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QElapsedTimer clock;
        {
            Watchdog watchdog(fileName, std::chrono::seconds(20));
            clock.start();
            form.OpenROM_Click();
            outcome.ms = clock.elapsed();
        }
        QTest::qWait(60); // a reset would ask for a run; give it the chance to start
        collector->stopped = true;
        outcome.messages = collector->messages;
        outcome.memoryKept = machine.State.Memory == before.Memory;
        outcome.pcKept =
            machine.State.ProgramCounter == before.ProgramCounter && !machine.RunActive();
        return outcome;
    }

    static void expectRefused(const Outcome& outcome, const QString& fileName) {
        QVERIFY2(outcome.messages.size() == 1,
                 qPrintable(QStringLiteral("%1 message boxes after %2 ms (%3): %4")
                                .arg(outcome.messages.size())
                                .arg(outcome.ms)
                                .arg(outcome.pcKept ? "no reset" : "reset")
                                .arg(outcome.messages.join(QStringLiteral(" | ")))));
        QVERIFY2(outcome.messages.front().contains(fileName), qPrintable(outcome.messages.front()));
        QVERIFY2(outcome.memoryKept, "a refused file changed memory");
        QVERIFY2(outcome.pcKept, "a refused file reset the machine");
    }

    static void showForm(Form1& form) {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    QString writeBytes(const QString& name, qint64 size) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(QByteArray(size, '\x12'));
        return path;
    }

  private slots:
    void oneByteTooLongIsRefusedWithItsSize() {
        const QString file = writeBytes(QStringLiteral("long.ch8"), 7682);
        Form1 form;
        showForm(form);
        const Outcome outcome = openThroughDialog(form, file);
        expectRefused(outcome, file);
        QVERIFY2(outcome.messages.front().contains(QStringLiteral("7682")),
                 qPrintable(outcome.messages.front()));
    }

    void aTenGigabyteSparseFileIsRefusedAtOnce() {
        const QString file = writeBytes(QStringLiteral("huge.ch8"), 0);
        QVERIFY(QFile::resize(file, 10'000'000'000LL));
        Form1 form;
        showForm(form);
        const Outcome outcome = openThroughDialog(form, file);
        expectRefused(outcome, file);
        // The dialog and the box take some time; reading 10 GB would take far more.
        QVERIFY2(outcome.ms < 5000, qPrintable(QString::number(outcome.ms)));
    }

    void aFileWithoutReadPermissionIsRefused() {
        const QString file = writeBytes(QStringLiteral("locked.ch8"), 4);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0) == 0);
        const int probe = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        if (probe >= 0) {
            ::close(probe);
            QSKIP("running as root, which reads a file of mode 000 anyway; the refusal cannot be "
                  "observed here");
        }
        Form1 form;
        showForm(form);
        expectRefused(openThroughDialog(form, file), file);
    }

    void aFileThatVanishesAfterTheDialogIsRefused() {
        const QString file = writeBytes(QStringLiteral("vanishing.ch8"), 100);
        Form1 form;
        showForm(form);
        // The dialog sees the file and hands its name over; then it goes.
        const Outcome outcome = openThroughDialog(form, file, [file] { QFile::remove(file); });
        QVERIFY(!QFile::exists(file));
        expectRefused(outcome, file);
    }

    void aFifoDoesNotHangTheWindow() {
        const QString fifo = dir_.filePath(QStringLiteral("pipe.ch8"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        Form1 form;
        showForm(form);
        expectRefused(openThroughDialog(form, fifo), fifo);
    }

    void devZeroDoesNotHangTheWindow() {
        Form1 form;
        showForm(form);
        expectRefused(openThroughDialog(form, QStringLiteral("/dev/zero")),
                      QStringLiteral("/dev/zero"));
    }

    void aFolderIsNeverLoaded() {
        const QString folder = dir_.filePath(QStringLiteral("a folder.ch8"));
        QVERIFY(QDir().mkpath(folder));
        Form1 form;
        showForm(form);
        Machine& machine = form.machine();

        // The dialog opens a folder typed into it instead of returning it;
        // cancelling then is a plain Cancel.
        QString shownFolder;
        whenModal<QFileDialog>([folder, &shownFolder](QFileDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit);
            edit->setText(folder);
            QTest::keyClick(edit, Qt::Key_Return);
            QTimer::singleShot(100, dialog, [dialog, &shownFolder] {
                shownFolder = dialog->directory().absolutePath();
                dialog->reject();
            });
        });
        fillPattern(machine);
        auto memory = machine.State.Memory;
        form.OpenROM_Click();
        QCOMPARE(shownFolder, QDir(folder).absolutePath());
        // Nothing was loaded; the reset that follows Cancel wrote only the font.
        std::copy(Font.begin(), Font.end(), memory.begin() + FontBase);
        QVERIFY(machine.State.Memory == memory);
        QCOMPARE(machine.State.ProgramCounter, ProgramStart);
        QVERIFY(runFor(form, 100));

        // Dropped on the window, it reaches the loader and is refused.
        fillPattern(machine);
        const MachineState before = machine.State;
        const auto collector = collectMessages();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QTest::qWait(60);
        collector->stopped = true;
        const QStringList messages = collector->messages;
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.front().contains(folder), qPrintable(messages.front()));
        QVERIFY(machine.State.Memory == before.Memory);
        QCOMPARE(machine.State.ProgramCounter, before.ProgramCounter);
        QVERIFY(!machine.RunActive());
    }

    void aRomWithSpacesAndNonAsciiInItsNameOpensAndRuns() {
        // Digit 0 (rows 60 90 90 90 60) at (10, 5), then a loop on itself.
        const QString name = QString::fromUtf8("Space Game \xE2\x80\x93 \xC3\x9Cn\xC3\xAF"
                                               "code \xE9\xB3\xA5.ch8");
        const QString rom = writeRom(dir_, name, {0x6A0A, 0x6B05, 0x6000, 0xF029, 0xDAB5, 0x120A});
        QVERIFY(!rom.isEmpty());
        Form1 form;
        showForm(form);
        Machine& machine = form.machine();
        const auto collector = collectMessages();
        whenModal<QFileDialog>([rom](QFileDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit);
            edit->setText(rom);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        form.OpenROM_Click();
        QVERIFY(runUntil(form, [&] { return machine.State.ProgramCounter == 522; }));
        collector->stopped = true;
        QVERIFY2(collector->messages.isEmpty(),
                 qPrintable(collector->messages.join(QStringLiteral(" | "))));
        QCOMPARE(static_cast<int>(machine.State.Memory[512]), 0x6A);
        QCOMPARE(machine.State.ProgramCounter, std::uint32_t{522});
        // Row 60 at screen (10, 5): pixels 11 and 12 lit, 10 and 13 dark.
        QCOMPARE(machine.Surface().ReadPixel(4 * 10 + 1, 20), DarkColour);
        QCOMPARE(machine.Surface().ReadPixel(4 * 11 + 1, 20), LitColour);
        QCOMPARE(machine.Surface().ReadPixel(4 * 12 + 1, 20), LitColour);
        QCOMPARE(machine.Surface().ReadPixel(4 * 13 + 1, 20), DarkColour);
        QVERIFY(pictureShowsSurface(form));
        QCOMPARE(paintedPixel(renderPicture(form), 4 * 11 + 1, 20), QRgb{0x00FF00});
    }
};

QTEST_MAIN(HostileFilesWindowTest)
#include "hostile_files_window_test.moc"
