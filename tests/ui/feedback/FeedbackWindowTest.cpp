// The feedback window as the transfer page opens it, against the embedded service: what it
// shows of its limits, the pictures, the log files and the one window at a time.
#include "../transport/TransportFixture.h"
#include "support/ShellReset.h"

#include "foundation/Log.h"
#include "foundation/LogFile.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZStyle.h"
#include "shell/KZWindowsManager.h"
#include "support/Images.h"
#include "ui/feedback/FeedbackWindowController.h"
#include "ui/transport/KZTransportViewController.h"

#include <QApplication>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QTest>

using namespace nubo::test;
using nubo::CloudService;
using nubo::FeedbackFile;

class FeedbackWindow : public TransportPageTest {
protected:
    void TearDown() override {
        nubo::log::stopFileLog();
        TransportPageTest::TearDown();
    }
    FeedbackWindowController* open() {
        page->feedbackButton()->sendAction();
        const auto shown = shownFeedback();
        return shown.size() == 1 ? shown.first() : nullptr;
    }
    // A picture of one colour, a JPEG or a PNG by its name; `format` Mono makes it two palette
    // colours, one bit a pixel.
    QString picture(const QString& name, const QColor& color, QImage::Format format = QImage::Format_RGB32,
                    QSize size = QSize(400, 300)) {
        QImage image(size, format);
        if (format == QImage::Format_Mono) {
            image.setColorTable({color.rgb(), qRgb(0, 0, 0)});
            image.fill(0);
        } else {
            image.fill(color);
        }
        const QString path = localPath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(encoded(image, name.endsWith(QLatin1String(".jpg")) ? "JPG" : "PNG"));
        return path;
    }
    // Submits with a description and waits for the service to keep the report; the reports
    // kept so far.
    QList<nubo::FeedbackReport> submit(FeedbackWindowController* feedback, int expectedCount) {
        feedback->descriptionField()->setPlainText(QStringLiteral("上传失败"));
        feedback->commitButtonClicked();
        EXPECT_TRUE(waitUntil([&] { return svc.service().feedbackReports().value.size() == expectedCount; }));
        return svc.service().feedbackReports().value;
    }
};

TEST_F(FeedbackWindow, CountsTheDescriptionAsTheUserTypesAndMarksItOverTheLimit) {
    FeedbackWindowController* feedback = open();
    ASSERT_TRUE(feedback);
    KZLabel* count = feedback->descriptionCountLabel();
    EXPECT_EQ(count->text(), QStringLiteral("0/2000"));
    const QColor normal = count->textColor();

    feedback->descriptionField()->setPlainText(QString(CloudService::kFeedbackMaxDescription - 1, u'问'));
    feedback->descriptionField()->moveCursor(QTextCursor::End);
    EXPECT_EQ(count->text(), QStringLiteral("1999/2000"));
    QTest::keyClicks(feedback->descriptionField(), QStringLiteral("a"));
    EXPECT_EQ(count->text(), QStringLiteral("2000/2000"));
    EXPECT_EQ(count->textColor(), normal);
    QTest::keyClicks(feedback->descriptionField(), QStringLiteral("b"));
    EXPECT_EQ(count->text(), QStringLiteral("2001/2000"));
    EXPECT_EQ(count->textColor(), KZStyle::warningColor());
    // What the service would refuse is not sent.
    feedback->commitButtonClicked();
    settle();
    EXPECT_TRUE(svc.service().feedbackReports().value.isEmpty());

    QTest::keyClick(feedback->descriptionField(), Qt::Key_Backspace);
    EXPECT_EQ(count->text(), QStringLiteral("2000/2000"));
    EXPECT_EQ(count->textColor(), normal);
}

TEST_F(FeedbackWindow, ShowsPicturesAsThumbnailsThatCanBeRemovedUpToFour) {
    FeedbackWindowController* feedback = open();
    ASSERT_TRUE(feedback);
    const QList<QColor> colors = {Qt::red, Qt::darkGreen, Qt::blue, Qt::yellow};
    // A photo too large for Qt to decode whole still gets its thumbnail.
    const int allocationLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(2);
    const QStringList paths = {picture("a.png", colors[0]), picture("b.png", colors[1], QImage::Format_Mono),
                               picture("c.jpg", colors[2], QImage::Format_RGB32, QSize(1000, 800)),
                               picture("d.png", colors[3])};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(feedback->addImageFile(paths[i]));
    EXPECT_EQ(feedback->thumbnailViews().size(), 3);
    EXPECT_TRUE(feedback->addImageButton()->isEnabled());
    ASSERT_TRUE(feedback->addImageFile(paths[3]));
    EXPECT_EQ(feedback->thumbnailViews().size(), 4);
    EXPECT_FALSE(feedback->addImageButton()->isEnabled());
    QImageReader::setAllocationLimit(allocationLimit);
    EXPECT_FALSE(feedback->addImageFile(paths[0]));
    // Each thumbnail shows its own picture, scaled down.
    for (int i = 0; i < 4; ++i) {
        kit::View* thumb = feedback->thumbnailViews()[i];
        EXPECT_EQ(thumb->size(),
                  QSizeF(FeedbackWindowController::kThumbnailSize, FeedbackWindowController::kThumbnailSize));
        EXPECT_TRUE(thumb->isVisible());
        EXPECT_EQ(thumb->toolTip(), QFileInfo(paths[i]).fileName());
        auto* image = thumb->findChild<kit::ImageView*>();
        ASSERT_TRUE(image);
        const QImage shown = image->image().toImage();
        const QColor centre = shown.pixelColor(shown.rect().center());
        // JPEG keeps colours only near what they were.
        EXPECT_LE(std::abs(centre.red() - colors[i].red()) + std::abs(centre.green() - colors[i].green()) +
                      std::abs(centre.blue() - colors[i].blue()),
                  12)
            << i << " " << centre.name().toStdString();
    }

    // A click on the second one's remove button takes that picture away, and room for one more.
    KZButton* remove = feedback->removeImageButton(1);
    ASSERT_TRUE(remove);
    QTest::mouseClick(remove, Qt::LeftButton, {}, remove->rect().center());
    drainEvents();
    EXPECT_EQ(feedback->imageNames(), QStringList({"a.png", "c.jpg", "d.png"}));
    EXPECT_EQ(feedback->thumbnailViews().size(), 3);
    EXPECT_TRUE(feedback->addImageButton()->isEnabled());
    QTest::mouseClick(feedback->removeImageButton(2), Qt::LeftButton, {},
                      feedback->removeImageButton(2)->rect().center());
    drainEvents();
    EXPECT_EQ(feedback->imageNames(), QStringList({"a.png", "c.jpg"}));

    // What is sent is what is left, in order.
    const auto reports = submit(feedback, 1);
    ASSERT_EQ(reports.size(), 1);
    ASSERT_EQ(reports[0].images.size(), 2);
    QFile a(paths[0]), c(paths[2]);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && c.open(QIODevice::ReadOnly));
    EXPECT_EQ(reports[0].images[0], a.readAll());
    EXPECT_EQ(reports[0].images[1], c.readAll());
}

TEST_F(FeedbackWindow, SendsTheLogFilesOnlyWhenTheBoxIsTicked) {
    QTemporaryDir logs;
    // Small files, so that the log has rolled to its backup by the time of the report.
    nubo::log::startFileLog(logs.path(), 400);
    for (int i = 0; i < 8; ++i)
        qCWarning(lcTransfer, "transfer line %d of the report", i);

    FeedbackWindowController* feedback = open();
    ASSERT_TRUE(feedback);
    EXPECT_TRUE(feedback->uploadLogsBox()->checked());
    auto reports = submit(feedback, 1);
    ASSERT_EQ(reports.size(), 1);
    QStringList names;
    QByteArray all;
    for (const FeedbackFile& f : reports[0].logs) {
        names << f.name;
        all += f.bytes;
    }
    EXPECT_EQ(names, QStringList({"nubo.log.1", "nubo.log"}));
    EXPECT_TRUE(all.contains("nubo.transfer: transfer line 7 of the report"));
    QFile current(logs.path() + QStringLiteral("/nubo.log"));
    ASSERT_TRUE(current.open(QIODevice::ReadOnly));
    EXPECT_EQ(reports[0].logs.last().bytes, current.readAll());
    ASSERT_TRUE(waitUntil([&] { return shownFeedback().isEmpty(); }));

    // Unticked, by a click on the box as the user does: no logs.
    feedback = open();
    ASSERT_TRUE(feedback);
    KZCheckBoxButton* box = feedback->uploadLogsBox();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    EXPECT_FALSE(box->checked());
    reports = submit(feedback, 2);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[1].logs.isEmpty());
}

TEST_F(FeedbackWindow, PictureChooserOffersOnlyPicturesQtCanReadAndEntersFolders) {
    FeedbackWindowController* feedback = open();
    ASSERT_TRUE(feedback);
    feedback->addImageButton()->sendAction();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (dialog = feedback->window()->findChild<QFileDialog*>()) != nullptr; }));
    const QStringList filters = dialog->nameFilters();
    ASSERT_EQ(filters.size(), 1);
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        EXPECT_TRUE(filters[0].contains(QStringLiteral("*.") + QString::fromLatin1(format).toLower()))
            << format.constData();
    EXPECT_TRUE(filters[0].contains(QStringLiteral("*.png")));
    EXPECT_FALSE(filters[0].contains(QStringLiteral("*.txt")));

    // Open on a folder goes into it; a picture there is then taken.
    ASSERT_TRUE(QDir().mkpath(localPath(QStringLiteral("shots"))));
    const QString shot = picture(QStringLiteral("shots/s.png"), Qt::red);
    dialog->setDirectory(local.path());
    dialog->selectFile(localPath(QStringLiteral("shots")));
    QMetaObject::invokeMethod(dialog, "accept");
    drainEvents();
    EXPECT_TRUE(feedback->imageNames().isEmpty());
    ASSERT_EQ(feedback->window()->findChild<QFileDialog*>(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
              QDir(localPath(QStringLiteral("shots"))).canonicalPath());
    // Typed, as the user does: the name field has the focus now.
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setText(QFileInfo(shot).fileName());
    QMetaObject::invokeMethod(dialog, "accept");
    EXPECT_TRUE(waitUntil([&] { return feedback->imageNames() == QStringList({"s.png"}); }));
}

TEST_F(FeedbackWindow, ASecondClickBringsTheOpenWindowForward) {
    FeedbackWindowController* feedback = open();
    ASSERT_TRUE(feedback);
    feedback->descriptionField()->setPlainText(QStringLiteral("写了一半"));
    kit::Window* pageWindow = windows.first();
    pageWindow->activateWindow();
    if (!waitUntil([&] { return QApplication::activeWindow() == pageWindow; }, 1000))
        GTEST_SKIP() << "this platform does not activate windows";
    feedback->window()->showMinimized();
    drainEvents();

    page->feedbackButton()->sendAction();
    ASSERT_EQ(shownFeedback(), QList<FeedbackWindowController*>({feedback}));
    EXPECT_EQ(feedback->descriptionField()->toPlainText(), QStringLiteral("写了一半"));
    EXPECT_FALSE(feedback->window()->isMinimized());
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == feedback->window(); }, 2000));
}
