// Qt key events become host key codes (Windows virtual-key numbers), and keys
// belong to the machine: they never click a button or move the focus.

#include "app_test_support.h"
#include "input/key_caption.h"
#include "key_preview.h"
#include "key_translation.h"
#include "support/key_codes.h"
#include "support/silent_host.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <set>

using namespace kestrel;
using namespace kestrel::apptest;

Q_DECLARE_METATYPE(Qt::Key)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

// The key preview alone, on a plain window: what reaches the machine needs
// no Form1 to be seen.
struct PreviewedWindow {
    testing::SilentHost host;
    Machine machine{host};
    QWidget window;
    KeyPreview preview{window, machine};
    PreviewedWindow() {
        machine.LoadDefaultKeyMap();
        window.resize(100, 100);
        window.show();
    }
};

// Shows `other` beside the window and gives the window the focus, so that a
// test can take the focus away again.
bool ActivateBeside(PreviewedWindow& w, QWidget& other) {
    other.show();
    if (!QTest::qWaitForWindowExposed(&other)) return false;
    w.window.activateWindow();
    return QTest::qWaitForWindowActive(&w.window);
}

class KeyboardTest : public QObject {
    Q_OBJECT

    static void sendKey(QWidget* to, QEvent::Type type, Qt::Key key,
                        Qt::KeyboardModifiers modifiers, bool autoRepeat) {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(to, &event);
    }
    // A key of the real keyboard, as xcb delivers it: its X keycode, and a
    // server timestamp.
    static void sendScanned(QWidget* to, QEvent::Type type, Qt::Key key, quint32 scanCode,
                            quint64 timestamp) {
        QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(to, &event);
    }

  private slots:
    void keyEventsGiveHostKeyCodes_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("code");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier;

        // The numeric keypad with Num Lock on.
        const Qt::Key digits[] = {Qt::Key_0, Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4,
                                  Qt::Key_5, Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9};
        for (int d = 0; d < 10; ++d) {
            QTest::addRow("keypad %d", d) << digits[d] << keypad << 96 + d;
            QTest::addRow("main %d", d) << digits[d] << none << 48 + d;
        }
        QTest::newRow("keypad *") << Qt::Key_Asterisk << keypad << 106;
        QTest::newRow("keypad +") << Qt::Key_Plus << keypad << 107;
        QTest::newRow("keypad -") << Qt::Key_Minus << keypad << 109;
        QTest::newRow("keypad .") << Qt::Key_Period << keypad << 110;
        QTest::newRow("keypad /") << Qt::Key_Slash << keypad << 111;
        QTest::newRow("keypad Enter") << Qt::Key_Enter << keypad << 13;
        QTest::newRow("Return") << Qt::Key_Return << none << 13;
        // Num Lock off: the keypad's navigation keys.
        QTest::newRow("keypad 7 as Home") << Qt::Key_Home << keypad << 36;
        QTest::newRow("keypad 1 as End") << Qt::Key_End << keypad << 35;
        QTest::newRow("keypad 8 as Up") << Qt::Key_Up << keypad << 38;
        QTest::newRow("keypad 3 as PgDn") << Qt::Key_PageDown << keypad << 34;
        QTest::newRow("keypad 0 as Insert") << Qt::Key_Insert << keypad << 45;
        QTest::newRow("keypad . as Delete") << Qt::Key_Delete << keypad << 46;
        QTest::newRow("keypad 5 as Clear") << Qt::Key_Clear << keypad << 12;
        // Letters: one code for both cases.
        QTest::newRow("a") << Qt::Key_A << none << 65;
        QTest::newRow("A") << Qt::Key_A << shift << 65;
        QTest::newRow("Q") << Qt::Key_Q << none << 81;
        QTest::newRow("Z") << Qt::Key_Z << shift << 90;
        // Shifted characters give their key's code on a US layout.
        QTest::newRow("!") << Qt::Key_Exclam << shift << 49;
        QTest::newRow("@") << Qt::Key_At << shift << 50;
        QTest::newRow("#") << Qt::Key_NumberSign << shift << 51;
        QTest::newRow("$") << Qt::Key_Dollar << shift << 52;
        QTest::newRow("%") << Qt::Key_Percent << shift << 53;
        QTest::newRow("^") << Qt::Key_AsciiCircum << shift << 54;
        QTest::newRow("&") << Qt::Key_Ampersand << shift << 55;
        QTest::newRow("* main") << Qt::Key_Asterisk << shift << 56;
        QTest::newRow("(") << Qt::Key_ParenLeft << shift << 57;
        QTest::newRow(")") << Qt::Key_ParenRight << shift << 48;
        QTest::newRow(";") << Qt::Key_Semicolon << none << 186;
        QTest::newRow(":") << Qt::Key_Colon << shift << 186;
        QTest::newRow("=") << Qt::Key_Equal << none << 187;
        QTest::newRow("+ main") << Qt::Key_Plus << shift << 187;
        QTest::newRow(",") << Qt::Key_Comma << none << 188;
        QTest::newRow("<") << Qt::Key_Less << shift << 188;
        QTest::newRow("- main") << Qt::Key_Minus << none << 189;
        QTest::newRow("_") << Qt::Key_Underscore << shift << 189;
        QTest::newRow(". main") << Qt::Key_Period << none << 190;
        QTest::newRow(">") << Qt::Key_Greater << shift << 190;
        QTest::newRow("/ main") << Qt::Key_Slash << none << 191;
        QTest::newRow("?") << Qt::Key_Question << shift << 191;
        QTest::newRow("`") << Qt::Key_QuoteLeft << none << 192;
        QTest::newRow("~") << Qt::Key_AsciiTilde << shift << 192;
        QTest::newRow("[") << Qt::Key_BracketLeft << none << 219;
        QTest::newRow("{") << Qt::Key_BraceLeft << shift << 219;
        QTest::newRow("backslash") << Qt::Key_Backslash << none << 220;
        QTest::newRow("|") << Qt::Key_Bar << shift << 220;
        QTest::newRow("]") << Qt::Key_BracketRight << none << 221;
        QTest::newRow("}") << Qt::Key_BraceRight << shift << 221;
        QTest::newRow("'") << Qt::Key_Apostrophe << none << 222;
        QTest::newRow("\"") << Qt::Key_QuoteDbl << shift << 222;
        // Modifiers and the rest of the keyboard.
        QTest::newRow("Shift") << Qt::Key_Shift << shift << 16;
        QTest::newRow("Ctrl") << Qt::Key_Control << Qt::KeyboardModifiers(Qt::ControlModifier)
                              << 17;
        QTest::newRow("Alt") << Qt::Key_Alt << Qt::KeyboardModifiers(Qt::AltModifier) << 18;
        QTest::newRow("Space") << Qt::Key_Space << none << 32;
        QTest::newRow("Escape") << Qt::Key_Escape << none << 27;
        QTest::newRow("Tab") << Qt::Key_Tab << none << 9;
        QTest::newRow("Shift+Tab") << Qt::Key_Backtab << shift << 9;
        QTest::newRow("Backspace") << Qt::Key_Backspace << none << 8;
        QTest::newRow("Left") << Qt::Key_Left << none << 37;
        QTest::newRow("Up") << Qt::Key_Up << none << 38;
        QTest::newRow("Right") << Qt::Key_Right << none << 39;
        QTest::newRow("Down") << Qt::Key_Down << none << 40;
        QTest::newRow("Home") << Qt::Key_Home << none << 36;
        QTest::newRow("End") << Qt::Key_End << none << 35;
        QTest::newRow("PgUp") << Qt::Key_PageUp << none << 33;
        QTest::newRow("PgDn") << Qt::Key_PageDown << none << 34;
        QTest::newRow("Insert") << Qt::Key_Insert << none << 45;
        QTest::newRow("Delete") << Qt::Key_Delete << none << 46;
        QTest::newRow("F1") << Qt::Key_F1 << none << 112;
        QTest::newRow("F12") << Qt::Key_F12 << none << 123;
        QTest::newRow("F24") << Qt::Key_F24 << none << 135;
    }

    // Through the window, as the toolkit delivers them; LastKeyCode records
    // every key-down, bound or not.
    void keyEventsGiveHostKeyCodes() {
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, code);
        QCOMPARE(TranslateKey(key, modifiers), code);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyPress(&form, key, modifiers);
        QCOMPARE(static_cast<int>(form.machine().State.LastKeyCode), code);
        QTest::keyRelease(&form, key, modifiers);
    }

    // The numeric keypad as the platform plugins deliver it, Num Lock on
    // (Mod2 in the native modifiers): xcb sets Qt's keypad modifier, Wayland
    // may leave it off; both carry the XKB keycode and the keysym. Each key
    // gives its code, and so its keypad number through the default map.
    void keypadKeysOnEveryPlatform_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("keypadNumber");
        struct Delivered {
            const char* name;
            Qt::Key key;
            quint32 scanCode;
            quint32 keysym;
            int code;
            int keypadNumber;
        };
        using namespace kestrel::testing::key;
        const Delivered keypad[] = {
            {"0", Qt::Key_0, 90, 0xffb0, NumPad0, 10},
            {"1", Qt::Key_1, 87, 0xffb1, NumPad1, 7},
            {"2", Qt::Key_2, 88, 0xffb2, NumPad2, 8},
            {"3", Qt::Key_3, 89, 0xffb3, NumPad3, 9},
            {"4", Qt::Key_4, 83, 0xffb4, NumPad4, 4},
            {"5", Qt::Key_5, 84, 0xffb5, NumPad5, 5},
            {"6", Qt::Key_6, 85, 0xffb6, NumPad6, 6},
            {"7", Qt::Key_7, 79, 0xffb7, NumPad7, 1},
            {"8", Qt::Key_8, 80, 0xffb8, NumPad8, 2},
            {"9", Qt::Key_9, 81, 0xffb9, NumPad9, 3},
            {"*", Qt::Key_Asterisk, 63, 0xffaa, NumPadMultiply, 12},
            {"+", Qt::Key_Plus, 86, 0xffab, NumPadAdd, 13},
            {"-", Qt::Key_Minus, 82, 0xffad, NumPadSubtract, 15},
            {".", Qt::Key_Period, 91, 0xffae, NumPadDecimal, 16},
            {", (separator)", Qt::Key_Comma, 91, 0xffac, NumPadDecimal, 16},
            {"/", Qt::Key_Slash, 106, 0xffaf, NumPadDivide, 11},
            {"Enter", Qt::Key_Enter, 104, 0xff8d, Enter, 14},
        };
        for (const Delivered& k : keypad) {
            QTest::addRow("xcb keypad %s", k.name)
                << k.key << Qt::KeyboardModifiers(Qt::KeypadModifier) << k.scanCode << k.keysym
                << k.code << k.keypadNumber;
            QTest::addRow("wayland keypad %s", k.name)
                << k.key << Qt::KeyboardModifiers(Qt::NoModifier) << k.scanCode << k.keysym
                << k.code << k.keypadNumber;
        }
        // Num Lock off on Wayland: the navigation keys, as on xcb.
        QTest::newRow("wayland keypad 7 as Home")
            << Qt::Key_Home << Qt::KeyboardModifiers() << 79u << 0xff95u << 36 << 0;
        QTest::newRow("wayland keypad 5 as Clear")
            << Qt::Key_Clear << Qt::KeyboardModifiers() << 84u << 0xff9du << 12 << 0;
        // The digit row keeps its own codes.
        QTest::newRow("wayland main 5")
            << Qt::Key_5 << Qt::KeyboardModifiers() << 14u << 0x35u << 53 << 0;
        QTest::newRow("wayland main -")
            << Qt::Key_Minus << Qt::KeyboardModifiers() << 20u << 0x2du << 189 << 0;
    }

    void keypadKeysOnEveryPlatform() {
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, scanCode);
        QFETCH(quint32, keysym);
        QFETCH(int, code);
        QFETCH(int, keypadNumber);
        PreviewedWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, keysym, 0x10);
        QApplication::sendEvent(&w.window, &press);
        QCOMPARE(static_cast<int>(w.machine.State.LastKeyCode), code);
        QCOMPARE(w.machine.State.KeyPressed, keypadNumber);
    }

    // A remap by keypad 6 binds the keypad's 6 and captions it "f" however
    // the platform delivers it; the digit row's 6 stays unbound.
    void aRemapByAKeypadKeyIsCaptionedAlikeOnEveryPlatform_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("xcb") << Qt::KeyboardModifiers(Qt::KeypadModifier);
        QTest::newRow("wayland") << Qt::KeyboardModifiers(Qt::NoModifier);
    }

    void aRemapByAKeypadKeyIsCaptionedAlikeOnEveryPlatform() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto keypad6 = [&](QEvent::Type type) {
            QKeyEvent event(type, Qt::Key_6, modifiers, 85, 0xffb6, 0x10, QStringLiteral("6"));
            QApplication::sendEvent(picture(form), &event);
        };
        QTimer::singleShot(50, &form, [&] { keypad6(QEvent::KeyPress); });
        QTest::mouseClick(button(form, 15), Qt::LeftButton); // keypad key 16
        keypad6(QEvent::KeyRelease);
        const MachineState& state = form.machine().State;
        QCOMPARE(static_cast<int>(state.KeyMap[16]), testing::key::NumPad6);
        QCOMPARE(button(form, 15)->text(), QStringLiteral("f"));
        QTRY_COMPARE_WITH_TIMEOUT(state.KeyPressed, 0, 10000);
        QKeyEvent digitRow6(QEvent::KeyPress, Qt::Key_6, Qt::NoModifier, 15, 0x36, 0x10,
                            QStringLiteral("6"));
        QApplication::sendEvent(picture(form), &digitRow6);
        QCOMPARE(state.KeyPressed, 0);
        keypad6(QEvent::KeyPress);
        QCOMPARE(state.KeyPressed, 16); // the higher of the two numbers on one key
    }

    // Keys the table does not know get OEM-specific codes of their own, in
    // order of first use, and go through the machine like any other key.
    void keysWithoutANumberGetCodesOfTheirOwn() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const MachineState& state = form.machine().State;
        const auto lastCode = [&] { return static_cast<int>(state.LastKeyCode); };
        const auto& fallback = HostKeyCodes::FallbackCodes;
        QTest::keyPress(picture(form), Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(state.KeyPressed, 5);
        sendKey(picture(form), QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, false);
        QCOMPARE(lastCode(), fallback[0]);
        QCOMPARE(state.KeyPressed, 5); // bound to nothing
        sendKey(picture(form), QEvent::KeyRelease, Qt::Key_Adiaeresis, Qt::NoModifier, false);
        QCOMPARE(state.KeyPressed, 0); // its key-up releases the held key
        sendKey(picture(form), QEvent::KeyPress, Qt::Key_VolumeUp, Qt::NoModifier, false);
        QCOMPARE(lastCode(), fallback[1]);
        sendKey(picture(form), QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, false);
        QCOMPARE(lastCode(), fallback[0]); // kept for its key
        // One Qt key on two scan codes is two keys.
        QKeyEvent scanned(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, 48, 0xE4, 0);
        QApplication::sendEvent(picture(form), &scanned);
        QCOMPARE(lastCode(), fallback[2]);

        // Such a key ends a remap wait and is bound, captioned by its code.
        QTimer::singleShot(50, &form, [&] {
            sendKey(picture(form), QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, false);
        });
        QTest::mouseClick(button(form, 0), Qt::LeftButton);
        QCOMPARE(static_cast<int>(state.KeyMap[1]), fallback[3]);
        QCOMPARE(button(form, 0)->text(), QString::fromStdString(KeyCaption(fallback[3])));
        QCOMPARE(statusLabel(form)->text(), QString());
    }

    // Once the range is used up, every further unknown key shares its last code.
    void fallbackCodesRunOutIntoTheLastOne() {
        HostKeyCodes codes;
        const auto& fallback = HostKeyCodes::FallbackCodes;
        for (std::uint32_t scan = 0; scan < fallback.size(); ++scan)
            QCOMPARE(codes.codeFor(Qt::Key_unknown, Qt::NoModifier, scan), fallback[scan]);
        QCOMPARE(codes.codeFor(Qt::Key_unknown, Qt::NoModifier, 500), fallback.back());
        QCOMPARE(codes.codeFor(Qt::Key_ssharp, Qt::NoModifier, 0), fallback.back());
        QCOMPARE(codes.codeFor(Qt::Key_unknown, Qt::NoModifier, 3), fallback[3]);
        QCOMPARE(codes.codeFor(Qt::Key_Q, Qt::NoModifier, 24), 81); // the table comes first
    }

    void keypadKeysDriveTheKeypadThroughTheDefaultMap() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const MachineState& state = form.machine().State;
        QTest::keyPress(picture(form), Qt::Key_4, Qt::KeypadModifier);
        QCOMPARE(state.KeyPressed, 4);
        QTest::keyPress(picture(form), Qt::Key_6, Qt::KeypadModifier);
        QCOMPARE(state.KeyPressed, 6);
        QTest::keyRelease(picture(form), Qt::Key_6, Qt::KeypadModifier);
        QCOMPARE(state.KeyPressed, 0); // one key is tracked: any key-up clears it
        QTest::keyPress(picture(form), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(state.KeyPressed, 14);
        QTest::keyRelease(picture(form), Qt::Key_Enter, Qt::KeypadModifier);
        // The main keyboard's 5 is not the keypad's.
        QTest::keyPress(picture(form), Qt::Key_5);
        QCOMPARE(state.KeyPressed, 0);
    }

    void autoRepeatIsIgnored() {
        PreviewedWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        MachineState& state = w.machine.State;
        sendKey(&w.window, QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, false);
        QCOMPARE(state.KeyPressed, 5);
        // X11 sends release/press pairs while a key is held.
        for (int i = 0; i < 3; ++i) {
            sendKey(&w.window, QEvent::KeyRelease, Qt::Key_5, Qt::KeypadModifier, true);
            QCOMPARE(state.KeyPressed, 5);
            state.LastKeyCode = 0;
            sendKey(&w.window, QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, true);
            QCOMPARE(static_cast<int>(state.LastKeyCode), 0);
        }
        sendKey(&w.window, QEvent::KeyRelease, Qt::Key_5, Qt::KeypadModifier, false);
        QCOMPARE(state.KeyPressed, 0);
    }

    // Real X11 events carry scan codes and server timestamps; a repeat that
    // Qt left unmarked is a release and a press with one timestamp.
    void unmarkedX11RepeatPairsAreIgnored() {
        PreviewedWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        const MachineState& state = w.machine.State;
        const auto x11Key = [&](QEvent::Type type, quint64 time) {
            QKeyEvent event(type, Qt::Key_5, Qt::KeypadModifier, 84, 0xFFB5, 0x10,
                            QStringLiteral("5"));
            event.setTimestamp(time);
            QApplication::sendEvent(&w.window, &event);
        };
        x11Key(QEvent::KeyPress, 1000);
        QCOMPARE(state.KeyPressed, 5);
        for (quint64 t = 1500; t < 1700; t += 40) {
            x11Key(QEvent::KeyRelease, t);
            x11Key(QEvent::KeyPress, t);
            QTest::qWait(15);
            QCOMPARE(state.KeyPressed, 5);
        }
        w.machine.State.LastKeyCode = 0;
        QTest::qWait(30);
        QCOMPARE(static_cast<int>(state.LastKeyCode), 0); // no press got through either
        x11Key(QEvent::KeyRelease, 2000);                 // a real release
        QTRY_COMPARE_WITH_TIMEOUT(state.KeyPressed, 0, 10000);
        // A release followed by another key's press: the release comes first.
        x11Key(QEvent::KeyPress, 3000);
        x11Key(QEvent::KeyRelease, 3100);
        QKeyEvent other(QEvent::KeyPress, Qt::Key_4, Qt::KeypadModifier, 83, 0xFFB4, 0x10,
                        QStringLiteral("4"));
        other.setTimestamp(3100);
        QApplication::sendEvent(&w.window, &other);
        QCOMPARE(state.KeyPressed, 4);
        QTest::qWait(30);
        QCOMPARE(state.KeyPressed, 4);
    }

    void aKeyHeldWhenARemapStartsDoesNotEndIt() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const MachineState& state = form.machine().State;
        sendKey(&form, QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, false);
        int repeatsSent = 0;
        QTimer repeat;
        connect(&repeat, &QTimer::timeout, &form, [&] {
            sendKey(&form, QEvent::KeyRelease, Qt::Key_5, Qt::KeypadModifier, true);
            sendKey(&form, QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, true);
            if (++repeatsSent == 5) QTest::keyPress(&form, Qt::Key_Q);
        });
        repeat.start(30);
        QTest::mouseClick(button(form, 0), Qt::LeftButton); // returns when the wait ends
        repeat.stop();
        QCOMPARE(repeatsSent, 5);
        QCOMPARE(static_cast<int>(state.KeyMap[1]), 81);
        QCOMPARE(button(form, 0)->text(), QStringLiteral("Q"));
    }

    void losingTheFocusReleasesTheKey() {
        PreviewedWindow w;
        QWidget other;
        QVERIFY(ActivateBeside(w, other));
        QTest::keyPress(&w.window, Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(w.machine.State.KeyPressed, 5);
        // The key goes up while the other window has the focus.
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(w.machine.State.KeyPressed, 0);
    }

    // The letter block goes by the key's place, its X keycode, whatever
    // character the layout prints on it: each row is the same four keys on a
    // US, a German and a French keyboard.
    void theLetterBlockGoesByPlaceNotCharacter_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<int>("value");
        const struct {
            const char* layout;
            Qt::Key keys[16]; // digit row, top, home, bottom, four keys each
        } layouts[] = {
            {"us",
             {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_Q, Qt::Key_W, Qt::Key_E,
              Qt::Key_R, Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F, Qt::Key_Z, Qt::Key_X,
              Qt::Key_C, Qt::Key_V}},
            {"de",
             {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_Q, Qt::Key_W, Qt::Key_E,
              Qt::Key_R, Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F, Qt::Key_Y, Qt::Key_X,
              Qt::Key_C, Qt::Key_V}},
            {"fr",
             {Qt::Key_Ampersand, Qt::Key_Eacute, Qt::Key_QuoteDbl, Qt::Key_Apostrophe, Qt::Key_A,
              Qt::Key_Z, Qt::Key_E, Qt::Key_R, Qt::Key_Q, Qt::Key_S, Qt::Key_D, Qt::Key_F,
              Qt::Key_W, Qt::Key_X, Qt::Key_C, Qt::Key_V}},
        };
        const quint32 rowStarts[4] = {10, 24, 38, 52};
        const int values[16] = {0x1, 0x2, 0x3, 0xC, 0x4, 0x5, 0x6, 0xD,
                                0x7, 0x8, 0x9, 0xE, 0xA, 0x0, 0xB, 0xF};
        for (const auto& layout : layouts) {
            for (int i = 0; i < 16; ++i) {
                const quint32 scanCode = rowStarts[i / 4] + static_cast<quint32>(i % 4);
                QTest::addRow("%s, keycode %u", layout.layout, scanCode)
                    << layout.keys[i] << scanCode << values[i];
            }
        }
    }

    void theLetterBlockGoesByPlaceNotCharacter() {
        QFETCH(Qt::Key, key);
        QFETCH(quint32, scanCode);
        QFETCH(int, value);
        PreviewedWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        sendScanned(&w.window, QEvent::KeyPress, key, scanCode, 1000);
        for (int other = 0; other < 16; ++other)
            QCOMPARE((w.machine.Debug().KeysDown() >> other & 1) != 0, other == value);
        sendScanned(&w.window, QEvent::KeyRelease, key, scanCode, 1100);
        QTRY_VERIFY_WITH_TIMEOUT((w.machine.Debug().KeysDown() >> value & 1) == 0, 10000);
    }

    // Several keys at once, from the block and the keypad; a key goes up as
    // it went down, though Shift gave it another character meanwhile; the map
    // comes before the block; losing the focus releases every held key.
    void severalKeysAtOnceTheMapFirstAndFocusLoss() {
        PreviewedWindow w;
        QWidget other;
        QVERIFY(ActivateBeside(w, other));
        const auto down = [&] {
            std::set<int> held;
            for (int value = 0; value < 16; ++value)
                if ((w.machine.Debug().KeysDown() >> value & 1) != 0) held.insert(value);
            return held;
        };
        sendScanned(&w.window, QEvent::KeyPress, Qt::Key_Ampersand, 10, 1000); // French 1
        sendScanned(&w.window, QEvent::KeyPress, Qt::Key_X, 53, 1001);
        QTest::keyPress(&w.window, Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(down(), (std::set<int>{1, 0, 5}));
        sendScanned(&w.window, QEvent::KeyRelease, Qt::Key_1, 10, 1200); // with Shift down
        QTRY_COMPARE_WITH_TIMEOUT(down(), (std::set<int>{0, 5}), 10000);

        w.machine.State.KeyMap[3] = 81; // keypad key 3 (value 3) on Q
        sendScanned(&w.window, QEvent::KeyPress, Qt::Key_Q, 24, 1300);          // us Q: bound
        sendScanned(&w.window, QEvent::KeyPress, Qt::Key_Q, 38, 1301);          // fr Q: bound
        sendScanned(&w.window, QEvent::KeyPress, Qt::Key_Adiaeresis, 48, 1302); // outside
        QCOMPARE(down(), (std::set<int>{0, 3, 5}));

        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(down(), std::set<int>{});
    }

    void keysNeverClickAButtonOrMoveTheFocus() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* focused = QApplication::focusWidget();
        QCOMPARE(focused, static_cast<QWidget*>(picture(form)));
        std::vector<std::unique_ptr<QSignalSpy>> clicks;
        for (int i = 0; i < 16; ++i)
            clicks.push_back(std::make_unique<QSignalSpy>(button(form, i), &QPushButton::clicked));
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab,
                                  Qt::Key_Backtab, Qt::Key_Alt, Qt::Key_F10}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QTest::keyClick(button(form, 0), key); // even sent to a button straight
        }
        QTest::keyClick(&form, Qt::Key_Enter, Qt::KeypadModifier);
        for (const auto& spy : clicks)
            QCOMPARE(spy->count(), 0);
        QCOMPARE(QApplication::focusWidget(), focused);
        QCOMPARE(statusLabel(form)->text(), QString()); // no remap started
        // A click with the mouse still works.
        QTimer::singleShot(50, &form, [&] { QTest::keyClick(&form, Qt::Key_W); });
        QTest::mouseClick(button(form, 4), Qt::LeftButton);
        QCOMPARE(clicks[4]->count(), 1);
        QCOMPARE(static_cast<int>(form.machine().State.KeyMap[5]), 87);
    }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
