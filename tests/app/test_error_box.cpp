#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

TEST(ErrorBox, RepeatsAreCountedInTheOneOpenBox) {
    // The real box: a handler failing on every notification must not stack boxes.
    QStringList shown;
    const auto answer = [&shown] {
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) boxes << b;
        ASSERT_EQ(boxes.size(), 1);
        shown << boxes[0]->text();
        boxes[0]->accept();
    };
    QTimer::singleShot(0, [&] {
        for (const char* m : {"Fehler A", "Fehler B", "Fehler A", "Fehler B"})
            errorbox::Show(m);
        answer();
        QTimer::singleShot(0, answer); // the waiting message comes next, once
    });
    errorbox::Show("Fehler A");
    EXPECT_EQ(shown, (QStringList{"Fehler A (3 ×)", "Fehler B (2 ×)"}));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
