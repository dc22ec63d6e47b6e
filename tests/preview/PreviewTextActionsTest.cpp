#include "preview/PreviewTestSupport.h"
#include "preview/PreviewWindowController.h"

#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace lumivane;

// Text recognition in the preview: the read-text control on hover only where it is
// offered, and the codes' pill, shown with or without hover once codes were found,
// opening their menu below itself. A new picture takes the pill away.
TEST(PreviewTextActions, ReadTextOnHoverAndTheCodesPillOpensTheirMenu) {
    for (bool offered : {false, true}) {
        int reads = 0, edits = 0;
        std::vector<QPoint> menus;
        PreviewActions a = test::dragOnlyActions();
        a.openEditor = [&edits] { ++edits; };
        if (offered)
            a.readText = [&reads] { ++reads; };
        a.showCodes = [&menus](QPoint at) { menus.push_back(at); };
        PreviewWindowController controller(std::make_shared<test::OneScreen>(), a);
        controller.show(test::picture(), std::nullopt);
        QWidget* w = controller.window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

        const QPoint codes(105, 14 + 35), readText(14 + 35, 14 + 35);
        // No codes yet: the top middle is the thumbnail, which opens the editor.
        QTest::mouseClick(w, Qt::LeftButton, {}, codes);
        EXPECT_EQ(edits, 1);
        controller.setCodesFound(true);
        QTest::mouseClick(w, Qt::LeftButton, {}, codes);
        ASSERT_EQ(menus.size(), 1u);
        EXPECT_EQ(menus.front(), w->mapToGlobal(QPoint(105 - 34, 14 + 20 + 30)));
        EXPECT_EQ(edits, 1);

        QEnterEvent enter(QPointF(105, 105), QPointF(105, 105), w->mapToGlobal(QPointF(105, 105)));
        QCoreApplication::sendEvent(w, &enter);
        QTest::mouseClick(w, Qt::LeftButton, {}, readText);
        EXPECT_EQ(reads, offered ? 1 : 0);
        EXPECT_EQ(edits, offered ? 1 : 2) << "without the action the corner is the thumbnail";

        controller.show(test::picture(), std::nullopt);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(w, &leave);
        QTest::mouseClick(w, Qt::LeftButton, {}, codes);
        EXPECT_EQ(menus.size(), 1u) << "the next picture has no codes until they are found";
    }
}

} // namespace
