#include "cloud/KZImageCache.h"
#include "foundation/NotificationCenter.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZTools.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/Images.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/files/KZSearchHighlight.h"

#include <QImage>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr record(const QString& name, bool dir = false, quint64 size = 0, qint64 nid = 7) {
    auto f = CloudFileInfo::create();
    f->setName(name);
    f->setPath(QStringLiteral("/") + name);
    f->setIsDirectory(dir);
    f->setM_size(size);
    f->setNid(nid);
    return f;
}

QByteArray png(const QColor& color) {
    return nubo::test::png(8, 8, color);
}

struct Recorder : QObject, KZTextFieldDelegate {
    void textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) override {
        ended.append(sender->textFieldContent());
    }
    QStringList ended;
};

} // namespace

TEST(FileInfoCell, ColumnsShowSizeTypeAndTime) {
    KZFileInfoCell cell;
    cell.setType(KZFileInfoCellTypeSize);
    cell.setFileInfo(record(QStringLiteral("docs"), true, 4096));
    EXPECT_EQ(cell.infoLabel()->text(), QStringLiteral("-"));
    cell.setFileInfo(record(QStringLiteral("empty.txt"), false, 0));
    EXPECT_EQ(cell.infoLabel()->text(), KZTools::convertSizeToReadable(0));
    EXPECT_EQ(cell.infoLabel()->textColor(), KZStyle::darkGray2Color());
    EXPECT_TRUE(cell.iconImageView()->isHidden());

    cell.setType(KZFileInfoCellTypeName);
    cell.setFileInfo(record(QStringLiteral("report.pdf")));
    EXPECT_EQ(cell.infoLabel()->text(), QStringLiteral("report.pdf"));
    EXPECT_EQ(cell.textFieldContent(), QStringLiteral("report.pdf"));
    EXPECT_FALSE(cell.iconImageView()->isHidden());

    cell.setType(KZFileInfoCellTypeModifyTime);
    cell.setFileInfo(record(QStringLiteral("never.txt"))); // no time: "-"
    EXPECT_EQ(cell.infoLabel()->text(), QStringLiteral("-"));
}

TEST(FileInfoCell, SearchHitsAreColouredCaseInsensitively) {
    using R = QList<QPair<int, int>>;
    // "a b" in "Alpha Beta": both a's and the A, and the B.
    EXPECT_EQ(KZSearchHighlight::ranges(QStringLiteral("Alpha Beta"), QStringLiteral("a b")),
              (R{{0, 1}, {4, 1}, {9, 1}, {6, 1}}));
    EXPECT_TRUE(KZSearchHighlight::ranges(QStringLiteral("Alpha Beta"), QStringLiteral("   ")).isEmpty());
    // Each search goes on after the previous hit: "aa" in "aaa" is one hit.
    EXPECT_EQ(KZSearchHighlight::ranges(QStringLiteral("aaa"), QStringLiteral("aa")), (R{{0, 2}}));

    KZFileInfoCell cell;
    cell.setType(KZFileInfoCellTypeName);
    cell.setFileInfo(record(QStringLiteral("Alpha Beta")));
    cell.makeWordsHighlight(QStringLiteral("a b"));
    const auto& runs = cell.infoLabel()->attributedText().runs();
    int coloured = 0;
    for (const auto& r : runs)
        if (r.color == KZStyle::warningColor())
            coloured += r.length;
    EXPECT_EQ(coloured, 4);

    KZFileInfoCell blank;
    blank.setType(KZFileInfoCellTypeName);
    blank.setFileInfo(record(QStringLiteral("Alpha Beta")));
    blank.makeWordsHighlight(QStringLiteral("   "));
    for (const auto& r : blank.infoLabel()->attributedText().runs())
        EXPECT_NE(r.color, KZStyle::warningColor());
}

TEST(FileInfoCell, RenameOffersTheNameWithoutItsLastExtension) {
    EXPECT_EQ(KZFileInfoCell::editableNameLength(QStringLiteral("photo.tar.gz")), 9);
    EXPECT_EQ(KZFileInfoCell::editableNameLength(QStringLiteral(".bashrc")), 7);
    EXPECT_EQ(KZFileInfoCell::editableNameLength(QStringLiteral("folder")), 6);

    kit::Window window;
    auto* cell = new KZFileInfoCell;
    window.contentView()->addSubview(cell);
    cell->setFrame(QRectF(0, 0, 400, 44));
    window.show();
    Recorder recorder;
    cell->setDelegate(&recorder);
    cell->setType(KZFileInfoCellTypeName);
    cell->setFileInfo(record(QStringLiteral("photo.tar.gz")));
    cell->focus();
    EXPECT_TRUE(cell->infoLabel()->isHidden());
    EXPECT_FALSE(cell->nameTextField()->isHidden());
    EXPECT_EQ(cell->nameTextField()->selectedRange(), qMakePair(0, 9));

    // A blank name is put back before the delegate hears of the end.
    cell->nameTextField()->setStringValue(QStringLiteral("   "));
    cell->nameTextField()->doCommand(kit::TextCommand::InsertNewline);
    ASSERT_TRUE(nubo::test::waitUntil([&] { return !recorder.ended.isEmpty(); }));
    EXPECT_EQ(recorder.ended.first(), QStringLiteral("photo.tar.gz"));
    cell->unfocus();
    EXPECT_FALSE(cell->infoLabel()->isHidden());
    EXPECT_TRUE(cell->nameTextField()->isHidden());
    EXPECT_EQ(cell->infoLabel()->text(), QStringLiteral("photo.tar.gz"));
}

TEST(FileInfoCell, LimitedCharactersAreRefused) {
    KZFileInfoCell cell;
    auto* formatter = cell.nameTextField()->formatter();
    ASSERT_NE(formatter, nullptr);
    EXPECT_FALSE(formatter->isPartialStringValid(QStringLiteral("a/b"), QStringLiteral("/")));
    EXPECT_TRUE(formatter->isPartialStringValid(QStringLiteral("ab"), QStringLiteral("b")));
}

TEST(FileInfoCell, ThumbnailRepliesForAFormerRecordAreIgnored) {
    KZImageCache::shareInstance()->setMemoryCacheSize(64 << 20);
    KZFileInfoCell cell;
    cell.setType(KZFileInfoCellTypeName);
    auto current = record(QStringLiteral("now.png"), false, 10, 501);
    current->setM_category(1);
    cell.setFileInfo(current);
    const kit::Image shown = kit::Image::named(QStringLiteral("files_upload"));
    cell.setImage(shown);

    cell.kzSessionRequestThumb(nullptr, 1, png(Qt::red), 500, {}); // the record the cell showed before
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    nubo::test::drainEvents();
    EXPECT_TRUE(cell.iconImageView()->image() == shown);

    cell.kzSessionRequestThumb(nullptr, 2, png(Qt::blue), 501, {});
    // Decoded on a worker while the main thread runs nothing; shown when the main thread turns.
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    EXPECT_TRUE(cell.iconImageView()->image() == shown);
    EXPECT_TRUE(KZImageCache::shareInstance()->imageForCloudFile(*current).isNull());
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(cell.iconImageView()->image() == shown);
    EXPECT_FALSE(KZImageCache::shareInstance()->imageForCloudFile(*current).isNull());
    // Now cached: a new cell for the record shows it at once.
    KZFileInfoCell again;
    again.setType(KZFileInfoCellTypeName);
    again.setFileInfo(current);
    EXPECT_FALSE(again.thumbInMemory().isNull());
}

TEST(FileInfoCell, AThumbnailDecodedAfterTheCellWentIsDropped) {
    KZImageCache::shareInstance()->setMemoryCacheSize(64 << 20); // room: only the cell's end keeps it out
    auto* cell = new KZFileInfoCell;
    cell->setType(KZFileInfoCellTypeName);
    auto file = record(QStringLiteral("gone.png"), false, 10, 777);
    file->setM_category(1);
    cell->setFileInfo(file);
    cell->kzSessionRequestThumb(nullptr, 1, png(Qt::green), 777, {});
    delete cell; // before the decoded picture comes back
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    nubo::test::drainEvents();
    EXPECT_TRUE(KZImageCache::shareInstance()->imageForCloudFile(*file).isNull());
}

TEST(FileRowView, SelectionAndHoverLooks) {
    KZFileRowView row;
    row.setFileInfo(record(QStringLiteral("a.txt")));
    QColor tint = KZStyle::tabbarTintColor();
    tint.setAlphaF(0.1);
    row.setSelected(true);
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), tint);
    EXPECT_TRUE(row.checkBox()->checked());
    row.mouseExited(kit::Event(kit::Event::Type::MouseExited, {}));
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), tint);
    row.setSelected(false);
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), QColor(Qt::white));
    EXPECT_FALSE(row.checkBox()->checked());
}

TEST(FileRowView, DraggingOutsideFilesHighlightsFolderRowsOnly) {
    KZFileRowView fileRow, folderRow;
    fileRow.setFileInfo(record(QStringLiteral("a.txt")));
    folderRow.setFileInfo(record(QStringLiteral("dir"), true));
    auto& center = nubo::NotificationCenter::defaultCenter();
    center.post(KZFileRowView::kWillDropInApplication);
    EXPECT_TRUE(fileRow.draggingOutsideFiles());

    fileRow.setSelected(true);
    folderRow.setSelected(true);
    EXPECT_FALSE(fileRow.checkBox()->checked());
    EXPECT_EQ(fileRow.backgroundView()->customBackgroundColor(), QColor(Qt::white));
    EXPECT_TRUE(folderRow.checkBox()->checked());

    center.post(KZFileRowView::kWillDropOutFilesView);
    EXPECT_TRUE(folderRow.draggingOutsideFilesView());
    folderRow.setSelected(false);
    EXPECT_TRUE(folderRow.checkBox()->checked()); // left alone while the drag is outside the list

    center.post(KZFileRowView::kDidDropInApplication);
    EXPECT_FALSE(folderRow.draggingOutsideFiles());
    EXPECT_FALSE(folderRow.draggingOutsideFilesView());
}

TEST(FileRowView, CheckBoxClickEndsEditingAndFlipsTheRecord) {
    struct Delegate : QObject, KZFileRowViewDelegate {
        int clicks = 0;
        void fileRowViewDidClickCheckBox(KZFileRowView*, KZCheckBoxButton*) override { ++clicks; }
        void fileRowViewRightMouseUp(KZFileRowView*, const kit::Event&) override {}
    } delegate;
    kit::Window window;
    auto* row = new KZFileRowView;
    auto* field = new kit::TextField;
    window.contentView()->addSubview(row);
    window.contentView()->addSubview(field);
    window.show();
    ASSERT_TRUE(window.makeFirstResponder(field));
    auto f = record(QStringLiteral("a.txt"));
    row->setFileInfo(f);
    row->setDelegate(&delegate);
    row->checkBoxClicked();
    EXPECT_EQ(window.firstResponder(), nullptr);
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(f->selected());
    EXPECT_EQ(delegate.clicks, 1);
}
