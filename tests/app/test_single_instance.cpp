#include "app/single_instance.h"
#include "tests/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(SingleInstance, StartsWhenTheHolderIsStoppedAndNamesIt) {
    const QString name = UniqueName();
    const QByteArray path = (QDir::tempPath() + "/" + name).toLocal8Bit();
    // A first instance that froze: its process listens on the name, then is stopped by SIGSTOP, so the
    // kernel still queues connections that nobody takes.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(),
                    std::min<size_t>(path.size(), sizeof address.sun_path - 1));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)
            ::_exit(1);
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "r", 1);
        for (;;)
            ::pause();
    }
    struct Reap {
        pid_t pid;
        ~Reap() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reap{holder};
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the holder did not listen";
    ::close(ready[0]);
    ASSERT_EQ(::kill(holder, SIGSTOP), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, WUNTRACED), holder);
    ASSERT_TRUE(WIFSTOPPED(status));

    SingleInstance second(name);
    EXPECT_TRUE(second.Acquire());
    EXPECT_TRUE(second.HolderSilent());
    EXPECT_EQ(second.HolderPid(), holder);
    EXPECT_TRUE(second.HolderStopped());
    EXPECT_TRUE(second.SilentHolderMessage().contains(QString::number(holder)));
    // The instance that runs now answers later starts in the stopped one's place.
    int activations = 0;
    second.OnActivate = [&] { ++activations; };
    SingleInstance third(name);
    EXPECT_FALSE(third.Acquire());
    EXPECT_FALSE(third.HolderSilent());
    EXPECT_EQ(activations, 1);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
