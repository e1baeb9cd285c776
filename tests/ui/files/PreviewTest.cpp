// The image preview window opened from the file page, against the real session and service.
#include "PageFixture.h"
#include "foundation/SingletonT.h"

#include "kit/ImageView.h"
#include "shell/KZButton.h"
#include "shell/KZRouter.h"
#include "shell/KZToast.h"
#include "shell/KZWindowsManager.h"
#include "support/Images.h"
#include "ui/files/KZImagesPreviewWindowController.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

// Each picture has a colour of its own, so the one on view tells which record it came from.
QColor colourOf(int i) {
    return QColor(i % 256, (i * 7) % 256, 255 - i % 256);
}

// Previews come back re-encoded: colours match within a few steps.
testing::AssertionResult near(const QColor& a, const QColor& b) {
    if (a.isValid() && std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
        std::abs(a.blue() - b.blue()) <= 8)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << a.name().toStdString() << " is not " << b.name().toStdString();
}

class Preview : public nubo::test::PageFixture {
protected:
    static void SetUpTestSuite() {
        startService([](nubo::test::ServiceFixture& s) {
            for (int i = 0; i < 200; ++i)
                s.putFile(QStringLiteral("/many/%1.png").arg(i, 3, 10, QLatin1Char('0')),
                          nubo::test::png(6, 6, colourOf(i)));
            s.putFile(QStringLiteral("/one/only.png"), nubo::test::png(6, 6, Qt::red));
            for (int i = 0; i < 3; ++i)
                s.putFile(QStringLiteral("/three/%1.png").arg(i), nubo::test::png(6, 6, colourOf(i)));
            s.putFile(QStringLiteral("/three/notes.txt"), "n");
        });
    }
    static void TearDownTestSuite() { stopService(); }
    void SetUp() override {
        KZImagesPreviewWindowController::registerWithRouter();
        openPage();
    }
    void TearDown() override {
        s_service->service().clearFaults();
        if (preview)
            KZWindowsManager::shareInstance().closeWindow(preview);
        drainEvents();
        PageFixture::TearDown();
    }

    // Opens the preview on the named image of the folder, as a double click does.
    void open(const QString& folder, const QString& name) {
        jump(folder);
        page->previewImage(named(page->files(), name));
        preview = qobject_cast<KZImagesPreviewWindowController*>(
            KZWindowsManager::shareInstance().imagesPreviewWindow());
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(preview->window()->isVisible());
    }
    QColor shownColour() const {
        const kit::Image image = preview->imageView()->image();
        return image.isNull() ? QColor() : image.toImage().pixelColor(3, 3);
    }
    int indexOfShownName() const {
        return preview->imageInfos().at(preview->index())->name().left(3).toInt();
    }
    void key(Qt::Key k) { QTest::keyClick(preview->window()->contentView(), k); }
    void waitForImage() {
        ASSERT_TRUE(waitUntil([&] { return !preview->imageView()->image().isNull(); }));
    }

    QPointer<KZImagesPreviewWindowController> preview;
};

TEST_F(Preview, OneImageHasNoSteps) {
    open(QStringLiteral("/one"), QStringLiteral("only.png"));
    waitForImage();
    EXPECT_FALSE(preview->backButton()->isEnabled());
    EXPECT_FALSE(preview->forwardButton()->isEnabled());
    EXPECT_TRUE(preview->loadingView()->isHidden());
    key(Qt::Key_Left);
    key(Qt::Key_Right);
    EXPECT_EQ(preview->index(), 0);
    EXPECT_EQ(preview->reqID(), 0);
    EXPECT_TRUE(near(shownColour(), QColor(Qt::red)));
    // The window's looks.
    EXPECT_NEAR(preview->window()->alphaValue(), 0.99, 0.01);
    EXPECT_EQ(preview->window()->backgroundColor().alphaF(), 0.8f);
    EXPECT_TRUE(preview->window()->isTitleHidden());
}

// Stepping through 200 images with the arrow keys while every preview reply is slow: whatever
// lands, the image on view is always the one of the current index.
TEST_F(Preview, EscapeClosesThePreview) {
    open(QStringLiteral("/three"), QStringLiteral("1.png"));
    waitForImage();
    key(Qt::Key_Right); // the arrows still step
    EXPECT_EQ(preview->index(), 2);
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !preview || !preview->window()->isVisible(); }));
    EXPECT_FALSE(KZWindowsManager::shareInstance().shownWindowControllers().contains(preview.data()));
}

TEST_F(Preview, SteppingWithSlowRepliesNeverShowsAnotherImage) {
    open(QStringLiteral("/many"), QStringLiteral("000.png"));
    waitForImage();
    s_service->service().setDelay(nubo::ServiceOp::Thumbnail, 3);
    int checked = 0;
    for (int i = 1; i < 200; ++i) {
        key(Qt::Key_Right);
        ASSERT_EQ(preview->index(), i);
        if (i % 3 == 0)
            QTest::qWait(2); // let some replies land mid-way
        const QColor shown = shownColour();
        if (shown.isValid()) {
            ASSERT_TRUE(near(shown, colourOf(indexOfShownName()))) << i;
            ++checked;
        }
    }
    EXPECT_FALSE(preview->forwardButton()->isEnabled());
    key(Qt::Key_Right);
    EXPECT_EQ(preview->index(), 199);
    waitForImage();
    EXPECT_TRUE(near(shownColour(), colourOf(199)));
    for (int i = 0; i < 5; ++i)
        key(Qt::Key_Left);
    waitForImage();
    EXPECT_EQ(preview->index(), 194);
    EXPECT_TRUE(near(shownColour(), colourOf(194)));
}

TEST_F(Preview, QuarterTurnsAreAbsolute) {
    open(QStringLiteral("/one"), QStringLiteral("only.png"));
    auto ab = [&] {
        const QTransform& t = preview->imageView()->rotationTransform();
        return QPair<int, int>(int(t.m11()), int(t.m12()));
    };
    preview->rotateRightButtonClicked();
    EXPECT_EQ(ab(), (QPair<int, int>(0, -1))); // three quarters
    preview->rotateRightButtonClicked();
    EXPECT_EQ(ab(), (QPair<int, int>(-1, 0)));
    preview->rotateLeftButtonClicked();
    preview->rotateLeftButtonClicked();
    EXPECT_EQ(ab(), (QPair<int, int>(1, 0)));
    for (int i = 0; i < 4; ++i)
        preview->rotateLeftButtonClicked();
    EXPECT_EQ(ab(), (QPair<int, int>(1, 0))); // four left turns: upright again
    // A turned view fits the turned image: a wide view shows a tall image across its height.
    preview->rotateLeftButtonClicked();
    const QRectF r = preview->imageView()->imageRect();
    EXPECT_LE(r.width(), preview->imageView()->height() + 0.5);
}

TEST_F(Preview, DeletingStepsToANeighbourAndTheLastOneClosesTheWindow) {
    open(QStringLiteral("/three"), QStringLiteral("2.png"));
    ASSERT_EQ(preview->imageInfos().size(), 3); // the text file is no image
    EXPECT_EQ(preview->index(), 2);
    preview->deleteButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return preview->imageInfos().size() == 2; }));
    EXPECT_EQ(preview->index(), 1);
    EXPECT_FALSE(preview->forwardButton()->isEnabled());
    waitForImage();
    EXPECT_TRUE(near(shownColour(), colourOf(1)));
    ASSERT_NE(KZToast::toastOf(preview->window()->contentView()), nullptr);

    // A reply that lands after the user stepped keeps the image on view.
    s_service->service().setHeld(nubo::ServiceOp::Remove, true);
    preview->deleteButtonClicked(); // deletes 1.png
    preview->backButtonClicked();   // now on 0.png
    s_service->service().setHeld(nubo::ServiceOp::Remove, false);
    waitForImage();
    ASSERT_TRUE(waitUntil([&] { return preview->imageInfos().size() == 1; }));
    EXPECT_EQ(preview->index(), 0);
    EXPECT_EQ(preview->imageInfos().first()->name(), QStringLiteral("0.png"));
    EXPECT_TRUE(near(shownColour(), colourOf(0)));

    preview->deleteButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return preview.isNull() || !preview->window()->isVisible(); }));
}

TEST_F(Preview, LockedImagesAreNotDeleted) {
    open(QStringLiteral("/one"), QStringLiteral("only.png"));
    preview->imageInfos().first()->setM_isSync(true);
    preview->deleteButtonClicked();
    drainEvents();
    EXPECT_EQ(KZToast::toastOf(preview->window()->contentView()), nullptr);
    EXPECT_EQ(preview->imageInfos().size(), 1);
    // The page said why, with its syncing alert.
    auto& wm = KZWindowsManager::shareInstance();
    ASSERT_EQ(wm.presentedWindowControllers().size(), 1);
    wm.dismissWindowController(wm.presentedWindowControllers().first());
    drainEvents();
}

TEST_F(Preview, FullScreenFlagFollowsTheWindow) {
    open(QStringLiteral("/one"), QStringLiteral("only.png"));
    preview->fullScreenButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return preview->isFullScreen(); }));
    // The desktop takes the window out of full screen on its own.
    preview->window()->showNormal();
    ASSERT_TRUE(waitUntil([&] { return !preview->isFullScreen(); }));
    preview->fullScreenButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return preview->isFullScreen(); }));
    preview->fullScreenButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !preview->isFullScreen(); }));
}

TEST_F(Preview, DownloadNeedsAFolderThatIsThere) {
    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    const bool ask = config.getShouldSelectDownloadPath();
    const QString saved = config.getDownloadPath();
    config.setShouldSelectDownloadPath(false);
    config.setDownloadPath(QStringLiteral("/no/such/folder"));
    open(QStringLiteral("/one"), QStringLiteral("only.png"));
    preview->downloadButtonClicked();
    KZToastView* toast = KZToast::toastOf(preview->window()->contentView());
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(toast->style(), KZToastView::Style::Error);
    config.setShouldSelectDownloadPath(ask);
    config.setDownloadPath(saved);
}

} // namespace
