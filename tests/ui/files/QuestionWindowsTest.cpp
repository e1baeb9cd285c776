// The page's questions and the folder picker are dialogs of the page's window: tied to it,
// centred on it, without minimise or maximise buttons, and named in their title bars.
#include "FileOpsFixture.h"

#include "shell/KZWindowsManager.h"
#include "ui/files/KZFoldersWindowController.h"

#include <QWindow>

using namespace nubo::test;

namespace {

class QuestionWindows : public FileOpsTest {
protected:
    // What makes a window a dialog of the page's window.
    void expectDialogOfPage(kit::Window* dialog) {
        EXPECT_EQ(dialog->windowType(), Qt::Dialog);
        EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        ASSERT_NE(dialog->windowHandle(), nullptr);
        EXPECT_EQ(dialog->windowHandle()->transientParent(), window->windowHandle());
        const QPointF offset = dialog->frame().center() - window->frame().center();
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    }
};

} // namespace

TEST_F(QuestionWindows, ThePagesQuestionsAreDialogsNamedByTheirOwnText) {
    // Away from where a window centred on the (800 × 600) screen goes, and within the screen.
    window->setFrame(QRectF(10, 10, 700, 520));
    struct Question {
        std::function<KZAlertController*()> show;
        QString title; // in the title bar
    };
    const QList<Question> questions = {
        {[&] { return page->showDeleteAlertWithDeleteHandler({}); }, QStringLiteral("删除文件")},
        {[&] { return page->showSyncingAlert(); }, QStringLiteral("操作失败")},
        {[&] { return page->showEditingAlert(); }, QStringLiteral("操作失败")},
        {[&] { return page->showOverdueAlert(); }, QStringLiteral("套餐已过期，数据还可保留：0天")},
        {[&] { return page->showPasteToChildAlert(QStringLiteral("/a")); },
         QStringLiteral("不能黏贴到 /a 到该文件夹及子文件夹中")}};
    for (const Question& q : questions) {
        SCOPED_TRACE(q.title.toStdString());
        KZAlertController* alert = q.show();
        ASSERT_TRUE(waitUntil([&] { return alert->window()->isVisible(); }));
        expectDialogOfPage(alert->window());
        EXPECT_FALSE(alert->window()->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(alert->window()->windowTitle(), q.title);
        alert->cancel();
        ASSERT_TRUE(waitUntil([&] { return presentedAlert() == nullptr; }));
    }
}

TEST_F(QuestionWindows, TheFolderPickerIsADialogOfThePage) {
    window->setFrame(QRectF(10, 10, 700, 520));
    select({QStringLiteral("three")});
    page->actionMoveFile();
    KZFoldersWindowController* picker = nullptr;
    for (KZBaseWindowController* c : KZWindowsManager::shareInstance().presentedWindowControllers())
        if (auto* p = qobject_cast<KZFoldersWindowController*>(c))
            picker = p;
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->window()->isVisible());
    expectDialogOfPage(picker->window());
    EXPECT_EQ(picker->window()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(picker->window()->windowTitle(), QStringLiteral("请选择目录"));
}
