#include "kit/View.h"
#include "kit/Window.h"
#include "shell/KZToast.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QElapsedTimer>
#include <QPointer>
#include <gtest/gtest.h>

using nubo::test::waitUntil;

namespace {
struct ToastFixture : ::testing::Test {
    kit::View view;
    ToastFixture() {
        view.resize(400, 300);
        view.show();
    }
};
} // namespace

TEST_F(ToastFixture, FadesInThenHidesItselfOneSecondAfterAppearing) {
    QElapsedTimer clock;
    clock.start();
    KZToast::showToast(&view, QStringLiteral("已复制"));
    QPointer<KZToastView> toast = KZToast::toastOf(&view);
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->text(), u"已复制");
    EXPECT_FALSE(toast->blocksInteraction());
    EXPECT_LT(toast->opacity(), 1.0);
    ASSERT_TRUE(waitUntil([&] { return toast->opacity() >= 1.0; }));
    const qint64 appeared = clock.elapsed();
    EXPECT_GE(appeared, 250); // 0.3 s fade in
    EXPECT_TRUE(toast->isHideScheduled());
    ASSERT_TRUE(waitUntil([&] { return toast.isNull(); }, 4000));
    // Hidden 1 s after appearing, then faded out.
    EXPECT_GE(clock.elapsed() - appeared, 1000);
    EXPECT_EQ(KZToast::toastOf(&view), nullptr);
}

TEST_F(ToastFixture, ANewToastReusesTheShownOneAndCancelsItsPendingHide) {
    KZToast::showToastWithSucessMessage(&view, QStringLiteral("成功"));
    KZToastView* first = KZToast::toastOf(&view);
    ASSERT_TRUE(waitUntil([&] { return first->isHideScheduled(); }));
    EXPECT_EQ(first->iconName(), u"toast_success_icon");

    // The blocking form: same toast, new text and icon, no hide pending, clicks caught.
    KZToast::showToast(&view, QStringLiteral("正在删除…"), false, false);
    EXPECT_EQ(KZToast::toastOf(&view), first);
    EXPECT_EQ(first->text(), u"正在删除…");
    EXPECT_EQ(first->iconName(), u"");
    EXPECT_FALSE(first->isHideScheduled());
    EXPECT_TRUE(first->blocksInteraction());
    nubo::test::drainEvents();
    QPointer<KZToastView> guard(first);
    // It stays: give it well past the auto-hide time of the earlier toast.
    EXPECT_FALSE(waitUntil([&] { return guard.isNull() || guard->isHideScheduled(); }, 1600));

    // The result replaces it and hides itself again.
    KZToast::showToastWithErrorMessage(&view, QStringLiteral("删除失败"));
    EXPECT_EQ(KZToast::toastOf(&view), first);
    EXPECT_EQ(first->iconName(), u"toast_fail_icon");
    EXPECT_FALSE(first->blocksInteraction());
    EXPECT_TRUE(first->isHideScheduled());
    KZToast::hideToast(&view, false);
    EXPECT_EQ(KZToast::toastOf(&view), nullptr);
}

TEST_F(ToastFixture, DelayedToastsWaitAndAreDroppedWithTheirView) {
    KZToast::showToastWithErrorMessageAfterDelay(&view, QStringLiteral("失败"), 0.1);
    EXPECT_EQ(KZToast::toastOf(&view), nullptr);
    ASSERT_TRUE(waitUntil([&] { return KZToast::toastOf(&view) != nullptr; }));
    EXPECT_EQ(KZToast::toastOf(&view)->iconName(), u"toast_fail_icon");

    KZToast::hideToast(&view, false);
    auto* doomed = new kit::View(&view);
    KZToast::showToastAfterDelay(doomed, QStringLiteral("x"), 0.05);
    delete doomed;
    // A later toast on the parent proves the doomed one's time has passed without harm.
    KZToast::showToastAfterDelay(&view, QStringLiteral("later"), 0.1);
    ASSERT_TRUE(waitUntil([&] { return KZToast::toastOf(&view) != nullptr; }));
    EXPECT_EQ(KZToast::toastOf(&view)->text(), u"later");
}

TEST(WindowToast, ShowsOnTheContentView) {
    kit::Window window;
    window.setContentView(new kit::View);
    window.resize(300, 200);
    KZToast::showToastWithSucessMessage(&window, QStringLiteral("已保存"));
    KZToastView* toast = KZToast::toastOf(window.contentView());
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(toast->text(), u"已保存");
    EXPECT_EQ(toast->geometry(), window.contentView()->rect());
}
