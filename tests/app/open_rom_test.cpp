// Open ROM through the real (non-native) file dialog, Cancel, a refused
// file, a dropped file, Pause from the menu, and the picture read back from
// Picture1 as painted. The dialog keeps nothing on disk and reads nothing back.

#include "app_test_support.h"
#include "no_settings.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace kestrel;
using namespace kestrel::apptest;

namespace {

constexpr QRgb Green = 0x00FF00;
constexpr QRgb Black = 0x000000;

// Draws the font's 0 (rows 60 90 90 90 60) at the top-left corner and stays.
const std::initializer_list<std::uint16_t> DrawZero = {0x6000, 0xF029, 0xD005, 0x1206};

} // namespace

class OpenRomTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // Where the dialog would keep its settings, with an earlier run's, and
    // where it would find an administrator's, with a history of their own.
    QTemporaryDir config_;
    QTemporaryDir systemConfig_;
    QByteArray plantedSettings_;
    static inline int dialogsShown_ = 0;
    static inline QStringList plantedHistory_; // folders that exist, as the dialog keeps only those
    static inline QStringList plantedHistoryShown_;

    // The dialog's settings as it writes them, naming `folder` as its history
    // and last folder; without the sidebar's width it would ignore the rest.
    static QByteArray plantedDialogSettings(const QString& folder) {
        const QByteArray url = QUrl::fromLocalFile(folder).toEncoded();
        return "[FileDialog]\nhistory=" + url + "\nlastVisited=" + url + "\nsidebarWidth=90\n";
    }

    static QAction* action(Form1& form, const char* name) {
        return form.findChild<QAction*>(QLatin1String(name));
    }

    // Answers the next file dialog by typing `fileName` and pressing Enter,
    // or cancels it when `fileName` is empty.
    static void answerDialog(const QString& fileName, bool* wasNonNative = nullptr) {
        whenModal<QFileDialog>([fileName, wasNonNative](QFileDialog* dialog) {
            ++dialogsShown_;
            for (const QString& entry : dialog->history())
                if (plantedHistory_.contains(entry)) plantedHistoryShown_.append(entry);
            if (wasNonNative) *wasNonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
            if (fileName.isEmpty()) {
                dialog->reject();
                return;
            }
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            if (!edit || !buttons) {
                qWarning("the file dialog has no name field or buttons");
                dialog->reject();
                return;
            }
            // Filled in as typed text (setText: no completer popup), then Open.
            edit->setText(fileName);
            QPushButton* open = buttons->button(QDialogButtonBox::Open);
            if (!open || !open->isEnabled()) {
                qWarning("the file dialog cannot open what was typed");
                dialog->reject();
                return;
            }
            QTest::mouseClick(open, Qt::LeftButton);
        });
    }

  private slots:
    // As main() does, before any dialog; every dialog below is checked.
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfig_.path()));
        plantedHistory_ = {config_.path(), systemConfig_.path()};
        plantedSettings_ = plantedDialogSettings(config_.path());
        QFile planted(config_.filePath(QStringLiteral("QtProject.conf")));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write(plantedSettings_);
        planted.close();
        QFile system(systemConfig_.filePath(QStringLiteral("QtProject.conf")));
        QVERIFY(system.open(QIODevice::WriteOnly));
        system.write(plantedDialogSettings(systemConfig_.path()));
        system.close();
        KeepNoToolkitSettings();
    }

    void openingAFileRunsItAndPicture1ShowsIt() {
        const QString rom = writeRom(dir_, QStringLiteral("zero.ch8"), DrawZero);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        bool nonNative = false;
        answerDialog(rom, &nonNative);
        action(form, "OpenROM")->trigger();
        QVERIFY(nonNative);
        QCOMPARE(static_cast<int>(form.machine().State.Memory[512]), 0x60);

        // Until the program has drawn and stays at its last jump.
        QVERIFY(runUntil(form, [&] { return form.machine().State.ProgramCounter == 0x206; }));
        QVERIFY(pictureShowsSurface(form));
        const QImage shown = renderPicture(form);
        // The window shows the 273 x 137 picture but its right-hand 12 columns.
        QCOMPARE(shown.size(), QSize(261, 137));
        // Digit 0: rows 0 and 4 lit in the middle, rows 1-3 at the sides.
        QCOMPARE(paintedPixel(shown, 0, 0), Black); // column 0 is never painted
        for (int x = 1; x <= 4; ++x)
            QCOMPARE(paintedPixel(shown, x, 0), Black);
        for (int x = 5; x <= 12; ++x)
            QCOMPARE(paintedPixel(shown, x, 0), Green);
        for (int x = 13; x <= 17; ++x)
            QCOMPARE(paintedPixel(shown, x, 3), Black);
        QCOMPARE(paintedPixel(shown, 1, 4), Green);
        QCOMPARE(paintedPixel(shown, 4, 7), Green);
        QCOMPARE(paintedPixel(shown, 5, 4), Black);
        QCOMPARE(paintedPixel(shown, 12, 11), Black);
        QCOMPARE(paintedPixel(shown, 13, 12), Green);
        QCOMPARE(paintedPixel(shown, 16, 15), Green);
        QCOMPARE(paintedPixel(shown, 16, 16), Black);
        QCOMPARE(paintedPixel(shown, 5, 19), Green);
        QCOMPARE(paintedPixel(shown, 1, 20), Black);
        // Outside the surface the picture is black, margins included.
        QCOMPARE(paintedPixel(shown, 257, 0), Black);
        QCOMPARE(paintedPixel(shown, 260, 136), Black);
        QCOMPARE(paintedPixel(shown, 100, 130), Black);
        // What is painted is exactly the surface the machine reads back.
        for (int y = 0; y < ScreenSurface::Height; ++y)
            for (int x = 0; x < ScreenSurface::Width; ++x)
                QCOMPARE(static_cast<std::int32_t>(paintedPixel(shown, x, y)),
                         form.machine().Surface().ReadPixel(x, y));

        // Hidden and shown again, the picture is the same.
        form.hide();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(pictureShowsSurface(form));
        QCOMPARE(renderPicture(form), shown);
    }

    // Each change of the surface is painted, not only the first: the second
    // comes after the first has reached the window.
    void everyChangeReachesTheWindow() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        placeProgram(machine, DrawZero);
        QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
        QVERIFY(runUntil(form, [&] { return machine.Surface().ReadPixel(5, 0) == LitColour; }));
        QCOMPARE(machine.Surface().ReadPixel(5, 0), LitColour);
        QVERIFY2(pictureShowsSurface(form), "the first drawing never reached the window");

        // Reset clears the screen, and the program now only loops.
        placeProgram(machine, {0x1200});
        QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
        QVERIFY(runUntil(form, [&] { return machine.Surface().ReadPixel(5, 0) == DarkColour; }));
        QCOMPARE(machine.Surface().ReadPixel(5, 0), DarkColour);
        QVERIFY2(pictureShowsSurface(form), "the cleared screen never reached the window");
    }

    void cancelSkipsTheLoadAndStillResets() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        placeProgram(machine, {0x6005, 0x1202}); // V0 := 5, then stay
        machine.State.ProgramCounter = 0x300;
        machine.Debug().KestrelSurface().FillRect(100, 100, 103, 103, LitColour);
        bool nonNative = false;
        answerDialog(QString(), &nonNative);
        action(form, "OpenROM")->trigger();
        QVERIFY(nonNative);
        // The reset happened at once: screen cleared, counter back at 512.
        QCOMPARE(machine.Surface().ReadPixel(100, 100), DarkColour);
        QCOMPARE(machine.State.ProgramCounter, ProgramStart);
        QVERIFY(runUntil(form, [&] { return machine.State.V[0] == 5; }));
        QCOMPARE(static_cast<int>(machine.State.V[0]), 5);
        QCOMPARE(static_cast<int>(machine.State.Memory[512]), 0x60); // memory kept
    }

    void aRefusedFileIsReportedAndDoesNotReset() {
        const QString tooLong = dir_.filePath(QStringLiteral("too-long.ch8"));
        {
            QFile file(tooLong);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8000, '\x12'));
        }
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        machine.State.ProgramCounter = 0x300;
        machine.Debug().KestrelSurface().FillRect(100, 100, 103, 103, LitColour);
        QString reported;
        answerDialog(tooLong);
        // The box comes after the dialog has closed.
        QTimer::singleShot(0, &form, [&] {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                reported = box->text();
                box->accept();
            });
        });
        action(form, "OpenROM")->trigger();
        QVERIFY2(reported.contains(QStringLiteral("too-long.ch8")), qPrintable(reported));
        QCOMPARE(machine.State.ProgramCounter, std::uint32_t{0x300});
        QCOMPARE(machine.Surface().ReadPixel(100, 100), LitColour);
        QCOMPARE(static_cast<int>(machine.State.Memory[512]), 0);
        QTest::qWait(50);
        QVERIFY(!machine.RunActive());
    }

    void aDroppedFileIsOpened() {
        const QString rom = writeRom(dir_, QStringLiteral("dropped.ch8"), DrawZero);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(rom)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QVERIFY(runUntil(form, [&] { return form.machine().State.ProgramCounter == 0x206; }));
        QCOMPARE(form.machine().Surface().ReadPixel(5, 0), LitColour);
        QCOMPARE(form.machine().Surface().ReadPixel(1, 0), DarkColour);
        QCOMPARE(form.machine().Surface().ReadPixel(1, 4), LitColour);

        // Text is not a file: refused at the door.
        QMimeData text;
        text.setText(QStringLiteral("hello"));
        QDragEnterEvent enterText(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton,
                                  Qt::NoModifier);
        enterText.setAccepted(false);
        QApplication::sendEvent(&form, &enterText);
        QVERIFY(!enterText.isAccepted());

        // Nor is a file dropped while a box is open: it would nest a run of
        // boxes without end. The program in memory stays untouched.
        form.machine().EndAllRuns();
        QTest::qWait(20);
        bool droppedWhileOpen = true;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            QDragEnterEvent enterBlocked(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                                         Qt::NoModifier);
            enterBlocked.setAccepted(false);
            QApplication::sendEvent(&form, &enterBlocked);
            QDropEvent dropBlocked(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
            dropBlocked.setAccepted(false);
            QApplication::sendEvent(&form, &dropBlocked);
            droppedWhileOpen = enterBlocked.isAccepted() || dropBlocked.isAccepted();
            box->accept();
        });
        form.About_Click();
        QVERIFY(!droppedWhileOpen);
        QVERIFY(!form.machine().RunActive());
    }

    // CPU › Machine › "From the ROM database" with a ROM of our own, which
    // the database does not know: CHIP-8 (modern), no box, no title added.
    // Choosing another machine ends it: the next ROM opens as usual.
    void anUnknownRomFromTheDatabaseRunsOnTheModernMachineQuietly() {
        const QString demo = QStringLiteral(KESTREL_SOURCE_DIR "/roms/demo.ch8");
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto boxText = std::make_shared<QString>();
        whenModal<QMessageBox>(
            [boxText](QMessageBox* box) {
                *boxText = box->text();
                box->accept();
            },
            3000);
        QAction* fromDatabase = action(form, "machineFromRomDatabase");
        QVERIFY(fromDatabase);
        fromDatabase->trigger(); // with no ROM opened yet
        QVERIFY(fromDatabase->isChecked());
        // The run it asked for ends before the dialog opens: a dialog opened
        // with a run pending would have that run inside it.
        QVERIFY(runFor(form, 50));
        answerDialog(demo);
        action(form, "OpenROM")->trigger();
        QVERIFY(
            runUntil(form, [&] { return form.machine().Surface().ReadPixel(5, 8) == LitColour; }));

        const Machine& machine = form.machine();
        QCOMPARE(machine.Kind().engine, Engine::Standard);
        QCOMPARE(machine.Kind().quirks.vblank, ModernChip8Machine.quirks.vblank);
        QCOMPARE(machine.Kind().quirks.logic, ModernChip8Machine.quirks.logic);
        QCOMPARE(machine.Rate(), ModernChip8Machine.rate);
        QVERIFY(form.frameClock().isActive());
        QCOMPARE(machine.Surface().ReadPixel(5, 8),
                 LitColour); // the top of the demo's 0, at (1, 2)
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrel - by KD"));
        QVERIFY2(boxText->isEmpty(), qPrintable(*boxText));

        action(form, "machineKestrel")->trigger();
        QVERIFY(runFor(form, 50));
        answerDialog(demo);
        action(form, "OpenROM")->trigger();
        QCOMPARE(machine.Kind().engine, Engine::Kestrel);
        QVERIFY(runFor(form, 100));
    }

    void pauseFromTheMenuStopsAndResumesTheProgram() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        // V1:V0 counts up for ever, 16 bits wide so that it cannot come back
        // round to the same value within the test.
        placeProgram(machine, {0x7001, 0x4000, 0x7101, 0x1200});
        const auto count = [&] { return machine.State.V[1] * 256 + machine.State.V[0]; };
        QAction* pause = action(form, "pausex");
        int atPause = -1, whilePaused = -1, resumed = -1;
        QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
        // Paused once the program counts. The instruction whose opening yield
        // serves Pause still completes, so the count is read 100 ms after it;
        // then the pause is held 200 ms, in which a running count would move
        // thousands of times however busy the machine, and lifted.
        enum { Starting, Pausing, Paused, Resumed } phase = Starting;
        QElapsedTimer since;
        QTimer steps;
        steps.start(5);
        connect(&steps, &QTimer::timeout, &form, [&] {
            if (phase == Starting && count() > 0) {
                pause->trigger();
                phase = Pausing;
                since.start();
            } else if (phase == Pausing && since.elapsed() >= 100) {
                atPause = count();
                phase = Paused;
                since.start();
            } else if (phase == Paused && since.elapsed() >= 200) {
                whilePaused = count();
                pause->trigger();
                phase = Resumed;
                steps.stop();
            }
        });
        QVERIFY(runUntil(
            form, [&] { return phase == Resumed && count() > whilePaused; },
            [&] { resumed = count(); }));
        QVERIFY(atPause > 0);
        QCOMPARE(whilePaused, atPause);
        QVERIFY(resumed > whilePaused);
    }

    // Declared last, so it runs after every dialog above has closed.
    void theDialogsWroteNothingToDisk() {
        QVERIFY(dialogsShown_ >= 3); // pick, Cancel, a refused file
        const QStringList files =
            QDir(config_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(files, QStringList{QStringLiteral("QtProject.conf")});
        QFile planted(config_.filePath(QStringLiteral("QtProject.conf")));
        QVERIFY(planted.open(QIODevice::ReadOnly));
        QCOMPARE(planted.readAll(), plantedSettings_);
        // Nor was anything read, from either scope.
        QVERIFY2(plantedHistoryShown_.isEmpty(),
                 qPrintable(QStringLiteral("dialogs showed planted folders: ") +
                            plantedHistoryShown_.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(OpenRomTest)
#include "open_rom_test.moc"
