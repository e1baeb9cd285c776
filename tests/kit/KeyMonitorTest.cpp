#include "kit/Application.h"
#include "kit/Event.h"
#include "kit/TextField.h"
#include "kit/Window.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace kit;

TEST(Application, KeyMonitorSeesARepeatedKeyEveryTime) {
    Window w;
    auto* field = new TextField(QRectF(0, 0, 200, 24));
    w.contentView()->addSubview(field);
    w.show();
    QApplication::setActiveWindow(&w);
    w.makeFirstResponder(field);
    int seen = 0;
    const quint64 token = Application::addLocalKeyDownMonitor([&](const Event&) { ++seen; });
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w.windowHandle(), Qt::Key_B);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(static_cast<QWidget*>(field->editor()), Qt::Key_B);
    Application::removeMonitor(token);
    EXPECT_EQ(seen, 6);
}
