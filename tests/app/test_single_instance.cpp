#include "app/single_instance.h"
#include "tests/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString UniqueName() {
    return "mevrant-test-" + QUuid::createUuid().toString(QUuid::Id128);
}

bool WaitFor(const std::function<bool()>& done) {
    return WaitUntilHolds(done, 5);
}

} // namespace

TEST(SingleInstance, SecondStartActivatesTheFirstAndEnds) {
    const QString name = UniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    int activations = 0;
    first.OnActivate = [&] { ++activations; };

    SingleInstance second(name);
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(WaitFor([&] { return activations == 1; }));
}

TEST(SingleInstance, ChannelIsReachableByThisUserOnly) {
    const QString name = UniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    const QString path = QDir::tempPath() + "/" + name;
    struct stat st {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &st), 0) << path.toStdString();
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u) << std::oct << st.st_mode;
    EXPECT_EQ(st.st_uid, ::getuid());
}

TEST(SingleInstance, TakesOverASocketLeftByACrashedInstance) {
    const QString name = UniqueName();
    // A socket file with nobody behind it, as a killed instance leaves it.
    {
        QLocalServer stale;
        ASSERT_TRUE(stale.listen(name));
        stale.setMaxPendingConnections(0);
        stale.close(); // removes the file on a clean close; recreate it below as a dead socket
    }
    const QString path = QDir::tempPath() + "/" + name;
    QFile dead(path);
    ASSERT_TRUE(dead.open(QIODevice::WriteOnly));
    dead.close();
    SingleInstance first(name);
    EXPECT_TRUE(first.Acquire());
    SingleInstance second(name);
    EXPECT_FALSE(second.Acquire());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
