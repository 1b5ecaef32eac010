// Qt's own texts are German after the loading the program does at start.

#include "app/qt_translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(QtTranslations, QuestionButtonsSayJaAndNein) {
    ASSERT_TRUE(InstallQtTranslations(QLocale::German)) << "qtbase_de.qm is missing (qt6-translations-l10n)";
    QMessageBox box(QMessageBox::Question, QStringLiteral("Mevrant"), QStringLiteral("Öffnen?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.show();
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), "&Ja");
    EXPECT_EQ(box.button(QMessageBox::No)->text().toStdString(), "&Nein");
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
