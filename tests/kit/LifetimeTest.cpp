#include "kit/Button.h"
#include "kit/TextField.h"
#include "kit/ViewController.h"
#include "kit/Window.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using namespace kit;

// A view may outlive the controller its actions call: the actions go with their context.
TEST(Lifetime, ActionsWhoseContextIsGoneAreDroppedNotRun) {
    Window w;
    w.resize(300, 120);
    auto* button = new Button(QRectF(10, 10, 80, 30));
    auto* field = new SearchField;
    field->setFrame(QRectF(10, 60, 200, 24));
    w.contentView()->addSubview(button);
    w.contentView()->addSubview(field);
    int runs = 0;
    auto* controller = new QObject;
    // Each action touches the controller, as a page's would: running it late is a use after free.
    button->setAction(controller, [&runs, controller] {
        controller->setObjectName(QStringLiteral("clicked"));
        ++runs;
    });
    field->setSearchAction(controller, [&runs, controller](const QString& t) {
        controller->setObjectName(t);
        ++runs;
    });
    w.show();
    button->performClick();
    field->setStringValue(QStringLiteral("a"));
    field->editor()->insert(QStringLiteral("b"));
    const int whileAlive = runs;
    EXPECT_GE(whileAlive, 2);

    delete controller;
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
    button->performClick();
    field->editor()->insert(QStringLiteral("c"));
    EXPECT_EQ(runs, whileAlive);
}

namespace {
class Page : public ViewController {
protected:
    void loadView() override { setView(new Button(QRectF(0, 0, 80, 30))); }
};
} // namespace

TEST(Lifetime, AViewControllerTakesItsViewWithIt) {
    Window w;
    auto* page = new Page;
    QPointer<View> view = page->view();
    w.contentView()->addSubview(view);
    w.show();
    delete page;
    EXPECT_TRUE(view.isNull());

    // A controller that is its view's child goes with the view, and deletes nothing twice.
    auto* child = new Page;
    QPointer<Page> guard(child);
    View* v = child->view();
    w.contentView()->addSubview(v);
    child->setParent(v);
    delete v;
    EXPECT_TRUE(guard.isNull());
}
