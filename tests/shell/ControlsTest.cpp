#include "kit/Event.h"
#include "kit/View.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLimitedCharactersFormatter.h"
#include "shell/KZProgressView.h"
#include "shell/KZSegmentedControl.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZStyle.h"
#include "shell/KZTableCheckboxHeaderView.h"
#include "support/Printers.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A press and release at a point of `view` (its own coordinates), as the kit delivers them.
void click(kit::View* view, QPointF at, int clickCount = 1) {
    const QPointF inWindow = view->convertToWindow(at);
    view->mouseDown(kit::Event(kit::Event::Type::MouseDown, inWindow, clickCount));
    view->mouseUp(kit::Event(kit::Event::Type::MouseUp, inWindow, clickCount));
}

class SegmentRecorder : public QObject, public KZSegmentedControlDelegate {
public:
    QList<int> selected;
    void segmentedControlDidSelectSegmentIndex(KZSegmentedControl*, int index) override {
        selected.append(index);
    }
};

} // namespace

TEST(SegmentedControl, SelectionRulesAndDelegateCalls) {
    kit::View window;
    window.resize(400, 40);
    auto* control = new KZSegmentedControl(&window);
    control->setFrame(QRectF(0, 0, 400, 40));
    SegmentRecorder recorder;
    control->setDelegate(&recorder);
    control->insertTitle(QStringLiteral("上传"), 0);
    control->insertTitle(QStringLiteral("下载"), 1);
    control->insertTitle(QStringLiteral("已完成"), 5); // kept within range: appended
    EXPECT_EQ(control->titleAtIndex(2), u"已完成");
    EXPECT_EQ(control->selectedSegmentIndex(), -1);

    control->selectSegmentAtIndex(1);
    control->selectSegmentAtIndex(1); // same one: nothing
    control->selectSegmentAtIndex(3); // out of range: nothing
    control->selectSegmentAtIndex(-1);
    EXPECT_EQ(recorder.selected, (QList<int>{1}));
    EXPECT_EQ(control->segmentFont(1).weight(), KZStyle::boldFontOfSize(14).weight());
    EXPECT_EQ(control->segmentColor(1), KZStyle::tabbarTintColor());
    EXPECT_EQ(control->segmentColor(0), KZStyle::darkGray2Color());
    const QRectF indicator = control->indicatorFrame();
    EXPECT_EQ(indicator.width(), 28);
    EXPECT_NEAR(indicator.center().x(), control->segmentFrame(1).center().x(), 0.01);

    // A click takes the same road as the program's selection.
    click(control, control->segmentFrame(0).center());
    EXPECT_EQ(recorder.selected, (QList<int>{1, 0}));
    // Inserting before the selection keeps the same segment selected.
    control->insertTitle(QStringLiteral("全部"), 0);
    EXPECT_EQ(control->titleAtIndex(control->selectedSegmentIndex()), u"上传");
    control->updateTitle(QStringLiteral("上传(3)"), 1);
    control->updateTitle(QStringLiteral("x"), 9);
    EXPECT_EQ(control->titleAtIndex(1), u"上传(3)");
}

// Titles too long for the control with their full gaps keep their whole width: the gaps give way,
// and the segments still fill the control in order.
TEST(SegmentedControl, GapsGiveWayBeforeTitlesAreCut) {
    KZSegmentedControl control;
    for (int i = 0; i < 3; ++i)
        control.insertTitle(QStringLiteral("传输完成(%1)").arg(99999 - i), i);
    const QFontMetricsF bold(KZStyle::boldFontOfSize(14));
    const qreal titles = 3 * bold.horizontalAdvance(control.titleAtIndex(0));
    for (const qreal room : {titles + 200, titles + 30, titles}) {
        control.setFrame(QRectF(0, 0, room, 40));
        qreal x = 0;
        for (int i = 0; i < 3; ++i) {
            const QRectF frame = control.segmentFrame(i);
            EXPECT_DOUBLE_EQ(frame.left(), x) << room << i;
            EXPECT_GE(frame.width(), bold.horizontalAdvance(control.titleAtIndex(i))) << room << i;
            x = frame.right();
        }
        EXPECT_LE(x, room + 0.01) << room;
    }
    // With room to spare, the gaps are the full 32 points.
    control.setFrame(QRectF(0, 0, titles + 200, 40));
    EXPECT_NEAR(control.segmentFrame(0).width(), bold.horizontalAdvance(control.titleAtIndex(0)) + 32, 0.01);
}

namespace {
class FormatterRecorder : public QObject, public KZLimitedCharactersFormatterDelegate {
public:
    int refused = 0;
    void didInputLimitedCharacter(KZLimitedCharactersFormatter*) override { ++refused; }
};
} // namespace

TEST(LimitedCharactersFormatter, RefusesTheNineCharactersAndNothingElse) {
    KZLimitedCharactersFormatter formatter;
    FormatterRecorder recorder;
    formatter.setDelegate(&recorder);
    const QString nine = QStringLiteral("/\\|*:?\"<>");
    for (QChar c : nine)
        EXPECT_FALSE(formatter.isPartialStringValid(QStringLiteral("ab") + c, QString(c)))
            << QString(c).toStdString();
    EXPECT_EQ(recorder.refused, 9);
    EXPECT_FALSE(formatter.isPartialStringValid(QStringLiteral("a<b>.txt"), QStringLiteral("<b>")));
    EXPECT_EQ(recorder.refused, 10);
    // Other text of any length passes, and deletions insert nothing.
    EXPECT_TRUE(formatter.isPartialStringValid(QString(300, u'字'), QString(300, u'字')));
    EXPECT_TRUE(formatter.isPartialStringValid(QStringLiteral("a.b-c_(1)#%&"), QStringLiteral("#%&")));
    EXPECT_TRUE(formatter.isPartialStringValid(QString(), QString()));
    EXPECT_EQ(recorder.refused, 10);
}

TEST(ProgressView, ValueIsClampedAndDrivesTheBar) {
    KZProgressView progress;
    progress.setFrame(QRectF(0, 0, 200, 4));
    progress.setValue(0.25);
    EXPECT_DOUBLE_EQ(progress.barWidth(), 50);
    progress.setValue(3.5);
    EXPECT_DOUBLE_EQ(progress.value(), 1.0);
    EXPECT_DOUBLE_EQ(progress.barWidth(), 200);
    progress.setValue(-1);
    EXPECT_DOUBLE_EQ(progress.barWidth(), 0);
    progress.setValue(std::nan(""));
    EXPECT_DOUBLE_EQ(progress.value(), 0);
}

TEST(Buttons, ClicksSendTheActionUnlessDisabledAndCheckBoxesToggleFirst) {
    kit::View root;
    root.resize(200, 100);
    auto* button = new KZButton(QRectF(10, 10, 80, 30), &root);
    int sent = 0;
    button->setAction(button, [&](KZButton* sender) {
        EXPECT_EQ(sender, button);
        ++sent;
    });
    click(button, QPointF(5, 5));
    EXPECT_EQ(sent, 1);
    // Released outside: no action.
    button->mouseDown(kit::Event(kit::Event::Type::MouseDown, button->convertToWindow(QPointF(5, 5))));
    button->mouseUp(kit::Event(kit::Event::Type::MouseUp, button->convertToWindow(QPointF(500, 5))));
    EXPECT_EQ(sent, 1);
    button->setEnabled(false);
    click(button, QPointF(5, 5));
    EXPECT_EQ(sent, 1);

    auto* box = new KZCheckBoxButton(QRectF(10, 50, 80, 20), &root);
    QList<bool> seen;
    box->setAction(box, [&](KZButton*) { seen.append(box->checked()); });
    click(box, QPointF(4, 4));
    click(box, QPointF(4, 4));
    EXPECT_EQ(seen, (QList<bool>{true, false}));
}

namespace {
class HeaderRecorder : public QObject, public KZTableCheckboxHeaderViewDelegate {
public:
    QList<bool> pressed;
    KZTableCheckboxHeaderView* header = nullptr;
    void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* h,
                                                     KZCheckBoxButton* box) override {
        EXPECT_EQ(h->isSelected(), box->checked()); // the header already took the new state
        pressed.append(box->checked());
    }
};
} // namespace

TEST(TableCheckboxHeader, EnableAndSelectRules) {
    KZTableCheckboxHeaderView header;
    header.setFrame(QRectF(0, 0, 300, 32));
    HeaderRecorder recorder;
    header.setDelegate(&recorder);
    header.setSelected(true);
    EXPECT_TRUE(header.checkBox()->checked());
    header.setEnable(false); // disabling unchecks
    EXPECT_FALSE(header.checkBox()->checked());
    EXPECT_FALSE(header.isSelected());
    EXPECT_FALSE(header.checkBox()->isEnabled());
    click(header.checkBox(), QPointF(4, 4)); // a disabled box ignores clicks
    EXPECT_TRUE(recorder.pressed.isEmpty());
    header.setEnable(true);
    EXPECT_FALSE(header.checkBox()->checked()); // enabling leaves the state alone
    click(header.checkBox(), QPointF(4, 4));
    click(header.checkBox(), QPointF(4, 4));
    EXPECT_EQ(recorder.pressed, (QList<bool>{true, false}));
}

namespace {
class KeyObserver : public QObject, public KZShortcutKeysDelegate {
public:
    bool perform = true;
    QStringList calls;
    bool shouldPerformKeyDownEvent() override { return perform; }
    void didPressCmdR() override { calls << QStringLiteral("R"); }
    void didPressCmdA() override { calls << QStringLiteral("A"); }
    void didPressCmdC() override { calls << QStringLiteral("C"); }
    void didPressCmdX() override { calls << QStringLiteral("X"); }
    void didPressCmdV() override { calls << QStringLiteral("V"); }
    void didPressCmdAndOtherKey(const QString& key) override { calls << QStringLiteral("other ") + key; }
};

kit::Event key(const QString& ch, Qt::KeyboardModifiers mods) {
    kit::Event e(kit::Event::Type::KeyDown, QPointF(), 0, mods);
    e.setKey(0, ch, ch);
    return e;
}
} // namespace

TEST(ShortcutKeys, ObserversThatDeclineAreSkippedAndOnlyCommandKeysCount) {
    KZShortcutKeysManager& manager = KZShortcutKeysManager::shareInstance();
    EXPECT_TRUE(manager.isMonitoring());
    KeyObserver declining, taking;
    declining.perform = false;
    manager.addShortcutKeysObserver(&declining);
    manager.addShortcutKeysObserver(&taking);
    manager.addShortcutKeysObserver(&taking); // once only
    for (const char* k : {"r", "a", "c", "x", "v", "f"})
        manager.handleKeyDownEvent(key(QString::fromLatin1(k), Qt::ControlModifier));
    manager.handleKeyDownEvent(key(QStringLiteral("a"), Qt::NoModifier)); // not a shortcut
    EXPECT_EQ(taking.calls, (QStringList{"R", "A", "C", "X", "V", "other f"}));
    EXPECT_TRUE(declining.calls.isEmpty());
    {
        KeyObserver gone;
        manager.addShortcutKeysObserver(&gone);
    } // held weakly: a destroyed observer is simply not called
    manager.removeShortcutKeysObserver(&taking);
    manager.handleKeyDownEvent(key(QStringLiteral("r"), Qt::ControlModifier));
    EXPECT_EQ(taking.calls.size(), 6);
    manager.removeShortcutKeysObserver(&declining);
}

TEST(ShortcutKeys, RealKeyPressesReachTheObserverAndStillGoOn) {
    KeyObserver observer;
    KZShortcutKeysManager::shareInstance().addShortcutKeysObserver(&observer);
    QLineEdit field;
    field.show();
    field.setText(QStringLiteral("abc"));
    QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(observer.calls, (QStringList{"A"}));
    EXPECT_EQ(field.selectedText(), u"abc"); // the field still did its own select-all
    // Shift picks another character: Ctrl+Shift+C is not the copy command.
    observer.calls.clear();
    QTest::keyClick(&field, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&field, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(observer.calls, (QStringList{"other C", "other V", "C"}));
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(&observer);
}
