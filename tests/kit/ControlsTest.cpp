#include "kit/Button.h"
#include "kit/Formatter.h"
#include "kit/Image.h"
#include "kit/Menu.h"
#include "kit/OpenPanel.h"
#include "kit/TextField.h"
#include "kit/Window.h"
#include "support/Images.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

using namespace kit;

TEST(Image, DecodesBytesKnowsItsSizeAndRefusesGarbage) {
    const QByteArray png = nubo::test::png(40, 30, Qt::red);
    const Image img = Image::fromData(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSizeF(40, 30));
    EXPECT_EQ(img.bytesLength(), 40 * 30 * 4);
    EXPECT_EQ(img.scaledToFit(QSizeF(20, 20)).size(), QSizeF(20, 15));

    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='8'><rect width='16' "
                           "height='8'/></svg>";
    EXPECT_EQ(Image::fromData(svg).size(), QSizeF(16, 8)); // drawn at twice the size, measured in points

    EXPECT_TRUE(Image::fromData(QByteArray("\x89PNG\r\n\x1a\n broken", 16)).isNull());
    EXPECT_TRUE(Image::fromData(QByteArray()).isNull());
    EXPECT_EQ(Image().bytesLength(), 0);
    EXPECT_TRUE(Image::named(QStringLiteral("no-such-image-anywhere")).isNull());
    EXPECT_TRUE(Image::named(QStringLiteral("../../etc/passwd")).isNull());
}

TEST(Button, AClickIsAPressAndReleaseInsideWhileEnabled) {
    Window w;
    w.resize(200, 100);
    auto* button = new Button(QRectF(10, 10, 80, 30));
    w.contentView()->addSubview(button);
    int clicks = 0;
    button->setAction(button, [&] { ++clicks; });
    w.show();
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(clicks, 1);
    // Pressed inside, released outside: no click.
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseMove(w.windowHandle(), QPoint(150, 80));
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, QPoint(150, 80));
    EXPECT_EQ(clicks, 1);
    button->setEnabled(false);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
    button->performClick();
    EXPECT_EQ(clicks, 1);
}

namespace {
class Hover : public View {
public:
    QStringList* log = nullptr;
    void mouseEntered(const Event&) override { *log << objectName() + QStringLiteral(" in"); }
    void mouseExited(const Event&) override { *log << objectName() + QStringLiteral(" out"); }
};
class Emptying : public QObject, public MenuDelegate {
public:
    int updates = 0;
    void menuNeedsUpdate(Menu* m) override {
        ++updates;
        m->removeAllItems();
    }
};
} // namespace

TEST(View, HoverEntersAndExitsOncePerView) {
    Window w;
    w.resize(200, 100);
    QStringList log;
    for (int i = 0; i < 2; ++i) {
        auto* v = new Hover;
        v->log = &log;
        v->setObjectName(i == 0 ? QStringLiteral("a") : QStringLiteral("b"));
        v->setFrame(QRectF(i * 100, 0, 100, 100));
        w.contentView()->addSubview(v);
    }
    w.show();
    QTest::mouseMove(w.windowHandle(), QPoint(20, 50));
    QTest::mouseMove(w.windowHandle(), QPoint(40, 50));
    QTest::mouseMove(w.windowHandle(), QPoint(150, 50));
    EXPECT_EQ(log, (QStringList{QStringLiteral("a in"), QStringLiteral("a out"), QStringLiteral("b in")}));
}

TEST(Menu, AContextMenuIsUpdatedFirstAndAnEmptyOneShowsNothing) {
    Window w;
    w.resize(200, 100);
    Menu menu;
    Emptying delegate;
    menu.setDelegate(&delegate);
    MenuItem open;
    open.title = QStringLiteral("Open");
    menu.addItem(open);
    w.contentView()->setMenu(&menu);
    w.show();
    QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(delegate.updates, 1);
    EXPECT_EQ(menu.numberOfItems(), 0);
    EXPECT_FALSE(menu.popUp(QPointF(5, 5), w.contentView()));
    EXPECT_EQ(delegate.updates, 2);
}

TEST(SearchField, ReportsEachChangeOrOnlyReturn) {
    Window w;
    auto* field = new SearchField;
    field->setFrame(QRectF(0, 0, 200, 24));
    w.contentView()->addSubview(field);
    QStringList searches;
    field->setSearchAction(field, [&](const QString& t) { searches << t; });
    w.show();
    w.makeFirstResponder(field);
    QTest::keyClicks(field->editor(), QStringLiteral("ab"));
    EXPECT_EQ(searches, (QStringList{QStringLiteral("a"), QStringLiteral("ab")}));
    searches.clear();
    field->setSendsWholeSearchString(true);
    QTest::keyClicks(field->editor(), QStringLiteral("c"));
    EXPECT_TRUE(searches.isEmpty());
    QTest::keyClick(field->editor(), Qt::Key_Return);
    EXPECT_EQ(searches, QStringList{QStringLiteral("abc")});
    EXPECT_FALSE(field->isEditing());
}

// A field of two lines wraps a long name, keeps it one line of text, and checks every edit.
TEST(WrappingTextField, WrapsChecksEditsAndKeepsOneLineOfText) {
    class NoStar : public kit::Formatter {
    public:
        bool isPartialStringValid(const QString&, const QString& inserted) override {
            return !inserted.contains(QLatin1Char('*'));
        }
    };
    kit::Window window;
    auto* field = new kit::TextField;
    window.contentView()->addSubview(field);
    field->setFrame(QRectF(0, 0, 80, 40));
    field->setStringValue(QStringLiteral("old.txt"));
    field->setMaximumNumberOfLines(2);
    ASSERT_TRUE(field->isWrapping());
    EXPECT_EQ(field->stringValue(), QStringLiteral("old.txt"));
    field->setFormatter(std::make_shared<NoStar>());
    window.show();
    ASSERT_TRUE(window.makeFirstResponder(field));
    QPlainTextEdit* editor = field->wrapEditor();
    field->selectRange(0, 3);
    EXPECT_EQ(field->selectedRange(), (QPair<int, int>(0, 3)));

    QTest::keyClicks(editor, QStringLiteral("a rather long new name*"));
    EXPECT_EQ(field->stringValue(), QStringLiteral("a rather long new name.txt"));
    EXPECT_GE(editor->document()->firstBlock().layout()->lineCount(), 2); // wrapped
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(field->stringValue(), QStringLiteral("a rather long new name.txt"));
    EXPECT_FALSE(field->isEditing()); // Return ended the edit

    ASSERT_TRUE(window.makeFirstResponder(field));
    editor->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QStringLiteral("x\ny"));
    editor->paste();
    EXPECT_EQ(field->stringValue(), QStringLiteral("a rather long new name.txtxy"));
}

TEST(Workspace, OpensOnlyWebAddresses) {
    // Refused before the desktop is asked, so no program starts here.
    for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "ftp://example.invalid/x",
                                "mailto:a@example.invalid", "not a url", ""})
        EXPECT_FALSE(kit::workspace::openURL(QUrl(QString::fromLatin1(address)))) << address;
}
