#include "app/error_box.h"
#include "app/language.h"

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

// What the plain layers say in German is said in English once English is chosen, its parts kept; a
// text of no known shape (the port's English messages) stays as it came, and German stays German.
TEST(ErrorBox, MessagesOfThePlainLayersFollowTheLanguage) {
    struct Case {
        const char* german;
        const char* english;
    };
    const Case cases[] = {
        {"'1,5x' ist kein gültiger Gleitkommawert", "'1,5x' is not a valid floating point value"},
        {"'abc' ist kein gültiger Integerwert", "'abc' is not a valid integer value"},
        {"Das Journal der Erfassung kann nicht geschrieben werden: \"/j/a.mvx\": No space left on device. "
         "Die "
         "Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.",
         "The acquisition's journal cannot be written: \"/j/a.mvx\": No space left on device. The "
         "acquisition "
         "goes on in memory and is not safe from a crash."},
        {"/dev/ttyUSB0 gehört der Gruppe dialout: `sudo usermod -aG dialout $USER`, dann neu anmelden",
         "/dev/ttyUSB0 belongs to the group dialout: `sudo usermod -aG dialout $USER`, then log in again"},
        {"TCP: keine Verbindung zu tcp://127.0.0.1:9: Connection refused",
         "TCP: no connection to tcp://127.0.0.1:9: Connection refused"},
        {"MQTT: mqtt://broker:1883 getrennt: The connection was lost.",
         "MQTT: mqtt://broker:1883 disconnected: The connection was lost."},
        {"WaitForEvent method failed (Error: 1167)", "WaitForEvent method failed (Error: 1167)"},
    };
    QStringList shown;
    errorbox::SetShow([&](const QString& m) { shown << m; });
    for (const char* language : {"de", "en"}) {
        ASSERT_TRUE(InstallLanguage(language));
        for (const Case& c : cases) {
            shown.clear();
            errorbox::Show(QString::fromUtf8(c.german));
            EXPECT_EQ(shown, QStringList{QString::fromUtf8(*language == 'd' ? c.german : c.english)})
                << language;
        }
    }
    InstallLanguage("de");
    errorbox::SetShow({});
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
