#include "kit/Window.h"
#include "kit/Application.h"
#include "kit/Event.h"
#include "kit/TextField.h"
#include "kit/ViewController.h"
#include "kit/WindowController.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace kit;

TEST(Window, FramesUseBottomLeftScreenCoordinates) {
    const qreal screenH = Window::screenHeight();
    ASSERT_GT(screenH, 300);
    Window w(Window::Borderless);
    w.setFrame(QRectF(100, 50, 200, 120)); // lower edge 50 points above the screen's bottom
    EXPECT_EQ(w.geometry(), QRect(100, int(screenH) - 50 - 120, 200, 120));
    EXPECT_EQ(w.top(), 50);
    EXPECT_EQ(w.bottom(), 170);
    w.setBottom(300); // the upper edge moves to 300, the size stays
    EXPECT_EQ(w.frame(), QRectF(100, 180, 200, 120));
    w.setRight(500);
    EXPECT_EQ(w.left(), 300);
    w.setCenterY(200);
    EXPECT_EQ(w.top(), 140);
}

TEST(Window, ChildWindowsArePlacedByParentEdgesAndHideWithTheParent) {
    Window parent;
    parent.setFrame(QRectF(100, 100, 400, 300));
    auto child = std::make_unique<Window>(Window::Borderless);
    child->setFrame(QRectF(0, 0, 120, 80));
    parent.show();
    parent.addChildWindow(child.get());
    // A pop-up hangs under a point near the parent's upper edge, as the menus place themselves.
    child->setLeft(parent.left() + 10);
    child->setTop(parent.bottom() - 40 - child->height());
    EXPECT_EQ(child->frame(), QRectF(110, 280, 120, 80));
    EXPECT_EQ(child->geometry().topLeft(), QPoint(110, int(Window::screenHeight()) - 360));
    EXPECT_TRUE(child->isVisible());
    EXPECT_EQ(parent.childWindows(), QList<Window*>{child.get()});
    EXPECT_EQ(child->parentWindow(), &parent);
    parent.hide();
    EXPECT_FALSE(child->isVisible());
    child.reset(); // a destroyed child leaves the parent's list
    EXPECT_TRUE(parent.childWindows().isEmpty());
}

namespace {
class ResizeDelegate : public QObject, public WindowDelegate {
public:
    int resizes = 0;
    bool allowClose = false;
    void windowDidResize(Window*) override { ++resizes; }
    bool windowShouldClose(Window*) override { return allowClose; }
};
} // namespace

TEST(Window, TellsItsDelegateOfResizesAndSheetsEndWithTheirCode) {
    Window w;
    ResizeDelegate d;
    w.setDelegate(&d);
    w.resize(300, 200);
    w.show();
    w.resize(320, 200);
    EXPECT_GE(d.resizes, 1);
    EXPECT_EQ(w.contentView()->frame(), QRectF(0, 0, 320, 200));

    Window sheet;
    sheet.resize(100, 50);
    int code = 0;
    w.beginSheet(&sheet, [&](int c) { code = c; });
    EXPECT_EQ(w.attachedSheet(), &sheet);
    EXPECT_TRUE(sheet.isVisible());
    // A dialog of the parent: tied to it, centred on it, no minimise or maximise button.
    EXPECT_EQ(sheet.frame().center(), w.frame().center());
    EXPECT_EQ(sheet.windowHandle()->transientParent(), w.windowHandle());
    EXPECT_EQ(sheet.windowType(), Qt::Dialog);
    EXPECT_FALSE(sheet.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    w.endSheet(&sheet, 7);
    EXPECT_EQ(code, 7);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(w.attachedSheet(), nullptr);
}

TEST(Window, ApplicationModalRunsReturnTheStopCode) {
    Window w;
    w.resize(200, 100);
    nubo::runOnMain([&] {
        EXPECT_EQ(Application::modalWindow(), &w);
        Application::stopModal(42);
    });
    EXPECT_EQ(Application::runModal(&w), 42);
    EXPECT_EQ(Application::modalWindow(), nullptr);
    EXPECT_EQ(w.windowModality(), Qt::NonModal);

    // Closing the window ends its run too.
    nubo::runOnMain([&] { w.close(); });
    EXPECT_EQ(Application::runModal(&w), -1);
}

TEST(Window, FirstResponderStartsAndEndsTextEditing) {
    class Recorder : public QObject, public TextFieldDelegate {
    public:
        QStringList calls;
        void controlTextDidBeginEditing(TextField*) override { calls << QStringLiteral("begin"); }
        void controlTextDidChange(TextField*) override { calls << QStringLiteral("change"); }
        void controlTextDidEndEditing(TextField* f) override {
            calls << QStringLiteral("end:") + f->stringValue();
        }
    };
    Window w;
    w.resize(300, 100);
    auto* field = new TextField(QRectF(10, 10, 200, 24));
    auto* other = new TextField(QRectF(10, 50, 200, 24));
    w.contentView()->addSubview(field);
    w.contentView()->addSubview(other);
    Recorder rec;
    field->setDelegate(&rec);
    field->setStringValue(QStringLiteral("name"));
    w.show();
    QApplication::setActiveWindow(&w);

    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(w.makeFirstResponder(field));
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(w.firstResponder(), field);
    QTest::keyClicks(field->editor(), QStringLiteral("s"));
    EXPECT_TRUE(w.makeFirstResponder(nullptr));
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(w.firstResponder(), nullptr);
    EXPECT_EQ(rec.calls,
              (QStringList{QStringLiteral("begin"), QStringLiteral("change"), QStringLiteral("end:s")}));

    // Moving to another field ends this one; Return ends editing too.
    rec.calls.clear();
    w.makeFirstResponder(field);
    w.makeFirstResponder(other);
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(other->isEditing());
    w.makeFirstResponder(field);
    QTest::keyClick(field->editor(), Qt::Key_Return);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(rec.calls.count(QStringLiteral("end:s")), 2);

    // A view that does not accept is refused.
    EXPECT_FALSE(w.makeFirstResponder(w.contentView()));
}

// An Escape that the field's delegate does not take reaches the window; Return and Tab stay the
// field's.
TEST(TextField, AnUntakenEscapeReachesTheWindow) {
    class Recorder : public QObject, public TextFieldDelegate, public WindowDelegate {
    public:
        QStringList calls;
        bool takesEscape = false;
        void controlTextDidEndEditing(TextField*) override { calls << QStringLiteral("end"); }
        bool controlDoCommand(TextField*, TextCommand c) override {
            if (c == TextCommand::Cancel && takesEscape)
                calls << QStringLiteral("field");
            return c == TextCommand::Cancel && takesEscape;
        }
        void windowCancel(Window*) override { calls << QStringLiteral("window"); }
    };
    Window w;
    w.resize(300, 100);
    auto* field = new TextField(QRectF(10, 10, 200, 24));
    w.contentView()->addSubview(field);
    Recorder rec;
    field->setDelegate(&rec);
    w.setDelegate(&rec);
    w.show();
    QApplication::setActiveWindow(&w);

    w.makeFirstResponder(field);
    QTest::keyClick(field->editor(), Qt::Key_Tab);
    QTest::keyClick(field->editor(), Qt::Key_Escape);
    EXPECT_EQ(rec.calls, QStringList{QStringLiteral("window")});
    EXPECT_TRUE(field->isEditing());
    rec.takesEscape = true;
    QTest::keyClick(field->editor(), Qt::Key_Escape);
    QTest::keyClick(field->editor(), Qt::Key_Return);
    EXPECT_EQ(rec.calls,
              (QStringList{QStringLiteral("window"), QStringLiteral("field"), QStringLiteral("end")}));
}

TEST(TextField, AFormatterCanRejectAnEdit) {
    class NoSlash : public Formatter {
    public:
        QString lastInserted;
        bool isPartialStringValid(const QString&, const QString& inserted) override {
            lastInserted = inserted;
            return !inserted.contains(QLatin1Char('/'));
        }
    };
    Window w;
    auto* field = new TextField(QRectF(0, 0, 200, 24));
    w.contentView()->addSubview(field);
    auto formatter = std::make_shared<NoSlash>();
    field->setFormatter(formatter);
    field->setStringValue(QStringLiteral("a/b")); // the program's own text is not checked
    w.show();
    w.makeFirstResponder(field);
    field->editor()->setCursorPosition(3);
    QTest::keyClicks(field->editor(), QStringLiteral("c/d"));
    EXPECT_EQ(field->stringValue(), QStringLiteral("a/bcd"));
    field->editor()->setCursorPosition(0);
    field->editor()->insert(QStringLiteral("x/y")); // a paste with a slash is refused whole
    EXPECT_EQ(field->stringValue(), QStringLiteral("a/bcd"));
    EXPECT_EQ(formatter->lastInserted, QStringLiteral("x/y"));
}

namespace {
class Page : public ViewController {
public:
    QStringList calls;
    void viewDidLoad() override { calls << QStringLiteral("load"); }
    void viewWillAppear() override { calls << QStringLiteral("willAppear"); }
    void viewDidAppear() override { calls << QStringLiteral("didAppear"); }
    void viewWillDisappear() override { calls << QStringLiteral("willDisappear"); }
    void viewDidDisappear() override { calls << QStringLiteral("didDisappear"); }
};
} // namespace

TEST(ViewController, AppearsAndDisappearsWithItsWindow) {
    Window w;
    Page page;
    View* v = page.view();
    EXPECT_EQ(page.view(), v); // loaded once
    w.contentView()->addSubview(v);
    EXPECT_EQ(page.calls, QStringList{QStringLiteral("load")}); // the window is not shown yet
    w.show();
    v->hide();
    v->show();
    w.hide();
    EXPECT_EQ(page.calls,
              (QStringList{QStringLiteral("load"), QStringLiteral("willAppear"), QStringLiteral("didAppear"),
                           QStringLiteral("willDisappear"), QStringLiteral("didDisappear"),
                           QStringLiteral("willAppear"), QStringLiteral("didAppear"),
                           QStringLiteral("willDisappear"), QStringLiteral("didDisappear")}));
}

TEST(Application, KeyMonitorSeesEachKeyOnceAndPassesItOn) {
    Window w;
    auto* field = new TextField(QRectF(0, 0, 200, 24));
    w.contentView()->addSubview(field);
    w.show();
    QApplication::setActiveWindow(&w);
    w.makeFirstResponder(field);
    QStringList seen;
    const quint64 token = Application::addLocalKeyDownMonitor([&](const Event& e) {
        seen << e.charactersIgnoringModifiers();
        EXPECT_EQ(e.modifierFlags() & Qt::ControlModifier, Qt::ControlModifier);
    });
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    Application::removeMonitor(token);
    QTest::keyClick(w.windowHandle(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("a"), QStringLiteral("r")}));
    // Ctrl+A still reached the field: its text is selected.
    field->setStringValue(QStringLiteral("abc"));
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->editor()->selectedText(), QStringLiteral("abc"));
}

TEST(View, FrameAccessorsAndClickCounts) {
    View parent;
    parent.resize(300, 300);
    auto* v = new View(QRectF(10, 20, 100, 40), &parent);
    v->setRight(200);
    EXPECT_EQ(v->left(), 100);
    v->setBottom(100);
    EXPECT_EQ(v->top(), 60);
    v->setCenterY(150);
    EXPECT_EQ(v->top(), 130);
    EXPECT_EQ(v->bottom(), 170);

    // Three presses close together count 1, 2, 3; a later one starts again.
    const QPointF p(5, 5);
    EXPECT_EQ(View::nextClickCount(p, Qt::LeftButton, 1000), 1);
    EXPECT_EQ(View::nextClickCount(p, Qt::LeftButton, 1100), 2);
    EXPECT_EQ(View::nextClickCount(p, Qt::LeftButton, 1200), 3);
    EXPECT_EQ(View::nextClickCount(p, Qt::LeftButton, 5000), 1);
    EXPECT_EQ(View::nextClickCount(p, Qt::RightButton, 5050), 1);
}

TEST(ViewController, AViewDestroyedOnScreenReportsNothingAndLeavesNoDanglingController) {
    Window w;
    Page page;
    w.contentView()->addSubview(page.view());
    w.show();
    page.calls.clear();
    delete page.view();
    EXPECT_TRUE(page.calls.isEmpty());
    EXPECT_FALSE(page.isViewLoaded());
    EXPECT_FALSE(page.isViewVisible());
}

TEST(Window, PopUpsCloseOnEscapeAndOnPressesOutsideEveryPopUp) {
    Window parent;
    parent.setFrame(QRectF(100, 100, 400, 300));
    auto* button = new View(QRectF(10, 10, 50, 20));
    parent.contentView()->addSubview(button);
    parent.show();
    Window menu(Window::PopUp), submenu(Window::PopUp);
    menu.setFrame(QRectF(150, 200, 110, 97));
    submenu.setFrame(QRectF(260, 200, 130, 92));
    const auto open = [&] {
        parent.addChildWindow(&menu);
        parent.addChildWindow(&submenu);
        menu.orderFront();
        submenu.orderFront();
        ASSERT_TRUE(menu.isVisible() && submenu.isVisible());
    };
    open();
    EXPECT_EQ(Window::visiblePopUps(), (QList<Window*>{&menu, &submenu}));

    // A press inside one pop-up leaves both open; a press on the parent closes both.
    QTest::mouseClick(menu.contentView(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(menu.isVisible() && submenu.isVisible());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(submenu.isVisible());

    // Escape closes them and goes no further.
    open();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(QApplication::sendEvent(button, &esc));
    EXPECT_FALSE(menu.isVisible());
    EXPECT_TRUE(Window::visiblePopUps().isEmpty());
}

TEST(Window, FramesAreMovedOntoTheScreen) {
    const QRectF area = Window::screenRectFromGlobal(QGuiApplication::primaryScreen()->availableGeometry());
    // Past the right and below the lower edge: moved in, size kept.
    const QRectF f = Window::constrainFrameToScreen(QRectF(area.right() - 50, area.top() - 40, 110, 97));
    EXPECT_EQ(f, QRectF(area.right() - 110, area.top(), 110, 97));
    // Inside: unchanged.
    const QRectF inside(area.x() + 20, area.y() + 20, 110, 97);
    EXPECT_EQ(Window::constrainFrameToScreen(inside), inside);
    // Taller than the screen: the upper edge stays visible.
    const QRectF tall =
        Window::constrainFrameToScreen(QRectF(area.x(), area.y() - 100, 50, area.height() + 200));
    EXPECT_EQ(tall.bottom(), area.bottom());
}
