#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"

#include <QHBoxLayout>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Pages "A" to "D", each a row widget holding a letter key (a/A ...), a
// Control key coded F1 to F4 and a Paging key to the next page.
struct Board {
    std::unique_ptr<QWidget> host = std::make_unique<QWidget>();
    zyrMultiPageKeyboard* keyboard = new zyrMultiPageKeyboard(host.get());
    QWidget* pages[4] {};
    zyrKeyButton* letters[4] {};
    zyrKeyButton* controls[4] {};
    zyrKeyButton* paging[4] {};

    Board()
    {
        keyboard->setObjectName("Board");
        keyboard->resize(200, 100);
        const char* names[] = { "A", "B", "C", "D" };
        for (int i = 0; i < 4; ++i) {
            pages[i] = new QWidget(keyboard);
            pages[i]->setObjectName(names[i]);
            auto* row = new QWidget(pages[i]);
            row->setObjectName(QString("row%1").arg(i));
            auto* layout = new QHBoxLayout(row);
            letters[i] = key(row, QString(QChar('a' + i)), zyrKeyButton::Regular);
            letters[i]->setKeyStringLower(QString(QChar('a' + i)));
            letters[i]->setKeyStringUpper(QString(QChar('A' + i)));
            controls[i] = key(row, QString("ctl%1").arg(i), zyrKeyButton::Control);
            controls[i]->setKeyCode(Qt::Key(Qt::Key_F1 + i));
            paging[i] = key(row, QString("to%1").arg(i), zyrKeyButton::Paging);
            paging[i]->setKeys(names[(i + 1) % 4]);
            layout->addWidget(letters[i]);
            layout->addWidget(controls[i]);
            layout->addWidget(paging[i]);
            keyboard->addPage(pages[i]);
        }
    }

    static zyrKeyButton* key(QWidget* row, const QString& name, zyrKeyButton::ButtonType type)
    {
        auto* k = new zyrKeyButton(row);
        k->setObjectName(name);
        k->setButtonType(type);
        return k;
    }

    QStringList stack() const
    {
        QStringList names;
        for (int i = 0; i < keyboard->count(); ++i)
            names << keyboard->widget(i)->objectName();
        return names;
    }
    QString current() const { return keyboard->currentWidget() ? keyboard->currentWidget()->objectName() : QString(); }
};

TEST(MultiPageKeyboard, APageWithoutEnabledKeysLeavesAndComesBackLast)
{
    Board b;
    b.keyboard->enableOneKey("b", false);
    EXPECT_EQ(b.stack(), QStringList({ "A", "B", "C", "D" })); // its Control key is still on
    b.keyboard->enableOneKey(Qt::Key_F2, false);
    EXPECT_EQ(b.stack(), QStringList({ "A", "C", "D" })); // the Paging key does not count
    EXPECT_FALSE(b.keyboard->isPageExists("B"));
    b.keyboard->enableOneKey("B", true); // by its upper-case character
    EXPECT_EQ(b.stack(), QStringList({ "A", "C", "D", "B" }));
    b.keyboard->setCurrentIndex(2);
    b.keyboard->nextPage();
    EXPECT_EQ(b.current(), "B");
    b.keyboard->nextPage();
    EXPECT_EQ(b.current(), "A");
    b.keyboard->prevPage();
    EXPECT_EQ(b.current(), "B");

    b.keyboard->enableAllKeys(false);
    EXPECT_TRUE(b.stack().isEmpty());
    b.keyboard->nextPage(); // nothing to turn to
    b.keyboard->prevPage();
    EXPECT_EQ(b.keyboard->currentIndex(), -1);
    b.keyboard->enableAllKeys(true);
    EXPECT_EQ(b.stack().size(), 4);

    // Vectors: an empty one changes nothing.
    b.keyboard->showPage("C", false);
    b.keyboard->enableKeys(QVector<QString>(), false);
    EXPECT_FALSE(b.stack().contains("C"));
    b.keyboard->enableKeys(QVector<QString>({ "a", "zz" }), false);
    b.keyboard->enableKeys(QVector<Qt::Key>({ Qt::Key_F1 }), false);
    EXPECT_FALSE(b.stack().contains("A"));
}

TEST(MultiPageKeyboard, ShowPageAndInsertedPages)
{
    Board b;
    b.keyboard->showPage("B", false);
    EXPECT_EQ(b.stack(), QStringList({ "A", "C", "D" }));
    EXPECT_TRUE(b.keyboard->isPageExists("B"));
    b.keyboard->showPage("B", true);
    EXPECT_EQ(b.stack(), QStringList({ "A", "C", "D", "B" }));
    b.keyboard->showPage("nobody", false); // nothing, not even checkPages

    auto* extra = new QWidget;
    extra->setObjectName("E");
    b.keyboard->insertPage(1, extra); // no keys, no entry: it stays
    b.keyboard->showPage("E", false);
    EXPECT_EQ(b.stack(), QStringList({ "A", "E", "C", "D", "B" }));

    b.keyboard->removePage(1);
    b.keyboard->removePage(0);
    b.keyboard->enableAllKeys(true); // A had its entry removed: it stays out
    EXPECT_EQ(b.stack(), QStringList({ "C", "D", "B" }));
    delete extra;
}

TEST(MultiPageKeyboard, CheckPagesReturnsToTheRememberedPage)
{
    Board b;
    b.host->show();
    EXPECT_FALSE(b.keyboard->setPage(4));
    EXPECT_FALSE(b.keyboard->setPage(-1));
    // Without a remembered page the stack's own current page stays.
    QTest::mouseClick(b.paging[0], Qt::LeftButton);
    EXPECT_EQ(b.current(), "B");
    b.keyboard->enableOneKey("a", true);
    EXPECT_EQ(b.current(), "B");

    EXPECT_TRUE(b.keyboard->setPage(2));
    QTest::mouseClick(b.paging[2], Qt::LeftButton);
    EXPECT_EQ(b.current(), "D");
    b.keyboard->enableOneKey("a", true);
    EXPECT_EQ(b.current(), "C");

    // Names of a key or a row are no pages.
    b.keyboard->setPageByName("row3");
    b.keyboard->setPageByName("d");
    EXPECT_EQ(b.current(), "C");
}

TEST(MultiPageKeyboard, KeysConnectOnShowOncePerConnectionMade)
{
    Board b;
    QStringList typed;
    QList<int> codes;
    QObject::connect(b.keyboard, QOverload<QString>::of(&zyrMultiPageKeyboard::keypressed), [&](QString t) { typed << t; });
    QObject::connect(b.keyboard, QOverload<int>::of(&zyrMultiPageKeyboard::keypressed), [&](int c) { codes << c; });

    QTest::mouseClick(b.letters[0], Qt::LeftButton); // never shown: not connected
    EXPECT_TRUE(typed.isEmpty());
    b.host->show();
    QTest::mouseClick(b.letters[0], Qt::LeftButton);
    QTest::mouseClick(b.controls[0], Qt::LeftButton);
    EXPECT_EQ(typed, QStringList({ "a" }));
    EXPECT_EQ(codes, QList<int>({ Qt::Key_F1 }));

    b.keyboard->makeConnections();
    QTest::mouseClick(b.letters[0], Qt::LeftButton);
    EXPECT_EQ(typed, QStringList({ "a", "a", "a" }));

    b.host->hide();
    QTest::mouseClick(b.letters[0], Qt::LeftButton);
    EXPECT_EQ(typed.size(), 3);
    b.host->show();
    QTest::mouseClick(b.letters[0], Qt::LeftButton);
    EXPECT_EQ(typed.size(), 4);
}

TEST(MultiPageKeyboard, ShiftTogglesEveryPageAndNeverTypesACode)
{
    Board b;
    auto* shift = Board::key(b.pages[0], "Shift", zyrKeyButton::Control);
    shift->setKeyCode(Qt::Key_Shift);
    shift->setCheckable(true);
    QStringList typed;
    QList<int> codes;
    QObject::connect(b.keyboard, QOverload<QString>::of(&zyrMultiPageKeyboard::keypressed), [&](QString t) { typed << t; });
    QObject::connect(b.keyboard, QOverload<int>::of(&zyrMultiPageKeyboard::keypressed), [&](int c) { codes << c; });
    b.host->show();

    QTest::mouseClick(shift, Qt::LeftButton);
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(b.letters[3]->text(), "D"); // on a page not shown as well
    EXPECT_TRUE(shift->shiftState());
    QTest::mouseClick(b.letters[0], Qt::LeftButton);
    EXPECT_EQ(typed, QStringList({ "A" }));
    EXPECT_EQ(b.current(), "A");

    b.keyboard->shiftKeyDown(true); // the argument does not matter: off
    EXPECT_EQ(b.letters[0]->text(), "a");
    b.keyboard->shiftKeyDown(false);
    EXPECT_EQ(b.letters[0]->text(), "A");
}

TEST(MultiPageKeyboard, SentinelsAndDisabledHostsSwitchNoKeys)
{
    Board b;
    auto* noCode = Board::key(b.pages[1], "nocode", zyrKeyButton::Control);
    auto* noString = Board::key(b.pages[2], "nostring", zyrKeyButton::Regular);
    auto* space = Board::key(b.pages[3], "space", zyrKeyButton::Control);
    space->setKeyCode(Qt::Key_Space);

    // A string names Regular keys only; a code names Control keys only.
    b.keyboard->enableOneKey("a", false);
    EXPECT_TRUE(noCode->isEnabled());
    b.keyboard->enableOneKey(Qt::Key_F1, false);
    EXPECT_TRUE(noString->isEnabled());
    EXPECT_FALSE(b.letters[0]->isEnabled());
    EXPECT_FALSE(b.controls[0]->isEnabled());
    // " " stands for the Space keys too.
    b.keyboard->enableOneKey(" ", false);
    EXPECT_FALSE(space->isEnabled());
    b.keyboard->enableKeys(QVector<QString>({ " " }), true);
    EXPECT_TRUE(space->isEnabled());

    // A host that disables the keyboard keeps its pages.
    b.keyboard->enableAllKeys(true);
    b.host->setEnabled(false);
    b.keyboard->enableOneKey("c", true);
    b.keyboard->showPage("D", true);
    EXPECT_EQ(b.stack().size(), 4);
    b.keyboard->setEnabled(false);
    b.keyboard->enableAllKeys(true);
    EXPECT_EQ(b.stack().size(), 4);
    EXPECT_TRUE(b.keyboard->isPageExists("C"));
}

TEST(MultiPageKeyboard, FocusByNameAndKeyStringReplacement)
{
    Board b;
    b.keyboard->setFocusByName("c");
    EXPECT_TRUE(b.letters[2]->isHasFocus());
    EXPECT_FALSE(b.letters[0]->isHasFocus());

    b.letters[1]->setShiftState(false);
    b.keyboard->replaceKeyString("b", "x", "Y", "y");
    EXPECT_EQ(b.letters[1]->text(), "x");
    EXPECT_EQ(b.letters[1]->keyStringUpper(), "Y");
    b.letters[1]->setShiftState(false);
    EXPECT_EQ(b.letters[1]->text(), "y");
}

} // namespace
