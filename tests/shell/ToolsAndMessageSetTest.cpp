#include "foundation/NotificationCenter.h"
#include "kit/View.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "support/CloudPrinters.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
// The font and colour a whole attributed text is drawn with.
std::pair<QFont, QColor> attributesOf(const kit::AttributedString& s) {
    std::pair<QFont, QColor> out;
    for (const auto& run : s.runs()) {
        if (run.font)
            out.first = *run.font;
        if (run.color)
            out.second = *run.color;
    }
    return out;
}

CloudFileInfoPtr folder(const QString& path, bool shared = false) {
    auto f = CloudFileInfo::create();
    f->setPath(path);
    f->setIsDirectory(true);
    f->setM_isShare(shared);
    return f;
}
CloudFileInfoPtr file(const QString& path) {
    auto f = CloudFileInfo::create();
    f->setPath(path);
    return f;
}
} // namespace

// Special folders by their name, wherever they are; a shared folder's icon comes first.
class SpecialFolderIcon : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(SpecialFolderIcon, FollowsTheName) {
    const auto& [path, icon] = GetParam();
    EXPECT_EQ(KZTools::iconNameForFileInfo(folder(QString::fromUtf8(path))), QString::fromLatin1(icon));
}

INSTANTIATE_TEST_SUITE_P(Icons, SpecialFolderIcon,
                         ::testing::Values(std::pair{"/来自-手机相册", "folder_phone_file"},
                                           std::pair{"/来自-iPhone", "folder_phone_file"},
                                           std::pair{"/来自-iPod", "folder_phone_file"},
                                           std::pair{"/来自-iPhone备份", "folder_new"},
                                           std::pair{"/a/来自-浏览器", "folder_fromse"},
                                           std::pair{"/图片", "folder_img"},
                                           std::pair{"/视频", "folder_video"},
                                           std::pair{"/x/音乐", "folder_music"},
                                           std::pair{"/图片集", "folder_new"}, std::pair{"/", "folder_new"}));

TEST(Icons, ASharedFolderShowsAsSharedWhateverItsName) {
    EXPECT_EQ(KZTools::iconNameForFileInfo(folder(QStringLiteral("/图片"), true)), u"folder_new_share");
}

TEST(Icons, FilesByLowerCasedExtensionWithACatchAll) {
    EXPECT_EQ(KZTools::iconNameForFileInfo(file(QStringLiteral("/a/报告.PDF"))),
              KZTools::iconNameForFileType("pdf"));
    EXPECT_NE(KZTools::iconNameForFileType(QStringLiteral("pdf")),
              KZTools::iconNameForFileType(QStringLiteral("*")));
    EXPECT_EQ(KZTools::iconNameForFileType(QStringLiteral("no-such-type")),
              KZTools::iconNameForFileType("*"));
    EXPECT_EQ(KZTools::iconNameForFileType(QString()), KZTools::iconNameForFileType("*"));
    // The root as a path takes the folder icon of the type table.
    EXPECT_EQ(KZTools::getIconForFile(QStringLiteral("/")).name(),
              KZTools::iconNameForFileType("filedirectory"));
    // Every icon the program names is among its images, so none is ever empty.
    for (const char* name :
         {"folder_new", "folder_new_share", "folder_phone_file", "folder_fromse", "folder_img",
          "folder_video", "folder_music", "alert _remind", "alert_warning", "toast_fail_icon",
          "toast_success_icon", "toast_warning_icon", "message_set_empty", "message_set_share_empty",
          "message_set_transport_empty", "message_set_not_vip"})
        EXPECT_FALSE(kit::Image::named(QString::fromUtf8(name)).isNull()) << name;
    for (const char* ext : {"*", "filedirectory", "doc", "xlsx", "jpg", "mp4", "zip", "txt"})
        EXPECT_FALSE(KZTools::iconForFileType(QString::fromLatin1(ext)).isNull()) << ext;
    EXPECT_FALSE(KZTools::getDefaultIconForFileInfo(nullptr).isNull());
}

TEST(Icons, ShareLinksOfFoldersShowAFolder) {
    auto share = std::make_shared<ShareInfo>();
    share->setDesc(QStringLiteral("季度报表.xlsx"));
    share->setLink_type(QStringLiteral("1"));
    EXPECT_EQ(KZTools::getDefaultIconForShareInfo(share).name(), u"folder_new");
    share->setLink_type(QStringLiteral("0"));
    EXPECT_EQ(KZTools::getDefaultIconForShareInfo(share).name(), KZTools::iconNameForFileType("xlsx"));
    share->setLink_type(QString()); // unreadable counts as 0: a file link
    EXPECT_EQ(KZTools::getDefaultIconForShareInfo(share).name(), KZTools::iconNameForFileType("xlsx"));
    EXPECT_FALSE(KZTools::getDefaultIconForShareInfo(nullptr).isNull());
}

TEST(Tools, WidthOfTextIsRoundedUpPlusOne) {
    const QFont font = KZStyle::fontOfSize(13);
    EXPECT_EQ(KZTools::widthForString(QString(), font, 0, 20), 1.0f);
    const float w = KZTools::widthForString(QStringLiteral("新建文件夹"), font, 0, 20);
    EXPECT_EQ(w, std::floor(w));
    EXPECT_GT(w, KZTools::widthForString(QStringLiteral("新建"), font, 0, 20));
    EXPECT_EQ(KZTools::fileType(folder(QStringLiteral("/a"))).isEmpty(), false);
}

namespace {
class EmptyState : public QObject, public KZMessageSetViewDelegate {
public:
    bool display = true;
    bool intercept = false;
    QWidget* container = nullptr;
    bool messageSetViewShouldDisplay(QWidget*) override { return display; }
    bool messageSetViewShouldInterceptionEvents(QWidget*) override { return intercept; }
    QMargins insetsForMessageSetView(QWidget*) override { return QMargins(0, 40, 0, 0); }
    QWidget* containerViewForMessageSetView(QWidget*) override { return container; }
    kit::AttributedString descriptionForMessageSetView(QWidget*) override {
        return KZMessageSetModules::emptyFileListDescription();
    }
    kit::Image imageForMessageSetView(QWidget*) override { return KZMessageSetModules::emptyListImage(); }
    QList<KZButton*> buttonsForMessageSetView(QWidget*) override {
        return KZMessageSetModules::uploadFilesButtons();
    }
};
} // namespace

TEST(MessageSet, OverlayIsMadeOnceFillsItsContainerAndGoesWhenNotWanted) {
    kit::View page;
    page.resize(600, 400);
    page.show();
    EmptyState state;
    KZMessageSet::setMessageSetDelegate(&page, &state);
    KZMessageSet::messageSetViewBackgroundColor(&page, KZStyle::VCBackgroundColor());
    KZMessageSet::reloadMessageSet(&page);
    KZMessageSetView* overlay = KZMessageSet::messageSetViewOf(&page);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), QRect(0, 40, 600, 360));
    EXPECT_FALSE(overlay->interceptsEvents());
    EXPECT_TRUE(overlay->titleLabel()->isHidden());
    EXPECT_TRUE(overlay->annotationLabel()->isHidden());
    EXPECT_FALSE(overlay->descriptionLabel()->isHidden());
    EXPECT_EQ(overlay->descriptionLabel()->text(), u"您还没有上传过文档哦～");
    EXPECT_FALSE(overlay->image().isNull());
    ASSERT_EQ(overlay->buttons().size(), 1);
    EXPECT_TRUE(overlay->buttons().first()->isVisible());
    // Content the page adds later stays under the overlay, and its button stays clickable.
    auto* later = new kit::View(&page);
    later->show();
    QWidget* top = page.childAt(overlay->buttons().first()->mapTo(&page, QPoint(5, 5)));
    EXPECT_EQ(top, overlay->buttons().first());

    // Resizing the container resizes the overlay; a reload reuses it.
    page.resize(800, 500);
    EXPECT_EQ(overlay->geometry(), QRect(0, 40, 800, 460));
    state.intercept = true;
    KZMessageSet::reloadMessageSet(&page);
    EXPECT_EQ(KZMessageSet::messageSetViewOf(&page), overlay);
    EXPECT_TRUE(overlay->interceptsEvents());
    EXPECT_EQ(overlay->buttons().size(), 1);

    // Its button asks the file page for an upload.
    QObject listener;
    int uploads = 0;
    nubo::NotificationCenter::defaultCenter().addObserver(
        &listener, KZMessageSetModules::kUploadFilesNotification, [&](const nubo::Notification& n) {
            EXPECT_FALSE(n.object.isValid());
            ++uploads;
        });
    overlay->buttons().first()->sendAction();
    EXPECT_EQ(uploads, 1);

    QPointer<KZMessageSetView> guard(overlay);
    state.display = false;
    KZMessageSet::reloadMessageSet(&page);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(KZMessageSet::messageSetViewOf(&page), nullptr);
}

TEST(MessageSet, ModulesCarryTheirTextsFontsAndButtons) {
    const kit::AttributedString plan = KZMessageSetModules::memberOverdueDescription();
    EXPECT_EQ(plan.text(), u"您的套餐已过期, 请联系管理员续费");
    EXPECT_EQ(attributesOf(plan).first.pixelSize(), 18);
    EXPECT_EQ(attributesOf(plan).second, KZStyle::titleColor());
    const kit::AttributedString search = KZMessageSetModules::emptySearchResultDescription();
    EXPECT_EQ(search.text(), u"没有与搜索条件匹配的项");
    EXPECT_EQ(attributesOf(search).first.pixelSize(), 14);
    EXPECT_EQ(attributesOf(search).second, KZStyle::grayTitleColor());

    const QList<KZButton*> buy = KZMessageSetModules::overdueButtons();
    ASSERT_EQ(buy.size(), 1);
    EXPECT_EQ(buy.first()->title(), u"去购买");
    EXPECT_EQ(buy.first()->frame().size(), QSizeF(102, 36));
    EXPECT_EQ(buy.first()->cornerRadius(), 4);
    EXPECT_EQ(buy.first()->customBackgroundColor(), KZStyle::tabbarTintColor());
    const QList<KZButton*> upload = KZMessageSetModules::uploadFilesButtons();
    EXPECT_EQ(upload.first()->frame().size(), QSizeF(116, 36));
    EXPECT_EQ(upload.first()->font().pixelSize(), 12);
    qDeleteAll(buy);
    qDeleteAll(upload);
}
