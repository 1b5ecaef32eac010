// The event thread and the receive path on a real pseudo-terminal: hand-overs to the user-interface
// thread, the order of reactions, the buffer path, closing during a hand-over, and the two failure cases:
// a throwing handler and a device that goes away.

#include "tests/serial/pty_fixture.h"

#include "serial/core/comport.h"
#include "serial/core/comthread.h"
#include "serial/core/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Reported {
    std::vector<std::string> messages;
    std::vector<std::string> details;
    Reported() {
        SetErrorReporter([this](const std::string& m, const std::string& d) {
            messages.push_back(m);
            details.push_back(d);
        });
    }
    ~Reported() { SetErrorReporter(nullptr); }
};

class ComThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        port.SetPort(pty.Path());
        port.SetEventChar(13);
        port.Buffer().SetInputSize(64000);
    }
    // The handlers may refer to the test's locals, which are gone by now.
    void TearDown() override {
        port.OnRxChar = nullptr;
        port.OnRxBuf = nullptr;
        port.OnRxFlag = nullptr;
        port.OnError = nullptr;
        port.OnBeforeClose = port.OnAfterClose = nullptr;
        port.OnException = nullptr;
        port.Close();
    }
    // Reads every announced byte, as the acquisition handler does.
    void ReadAll() {
        port.OnRxChar = [this](TCustomComPort& sender, int count) {
            EXPECT_EQ(&sender, &port);
            EXPECT_GT(count, 0);
            counts.push_back(count);
            std::string s;
            EXPECT_EQ(port.ReadText(s, count), count);
            received += s;
        };
    }
    Pty pty;
    TComPort port;
    std::string received;
    std::vector<int> counts;
};

} // namespace

TEST_F(ComThreadTest, BurstAndSplitInputArriveCompleteAndInOrder) {
    ReadAll();
    port.Open();
    pty.Write("1.5\r2.5\r3.5\r"); // several lines in one piece
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 12; }));
    EXPECT_EQ(received, "1.5\r2.5\r3.5\r");
    pty.Write("12"); // one line in two pieces
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 14; }));
    pty.Write(".75\r");
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 18; }));
    EXPECT_EQ(received, "1.5\r2.5\r3.5\r12.75\r");
    EXPECT_EQ(port.InputQueueCount(), 0);
}

TEST_F(ComThreadTest, BytesThatArriveWhileTheHandlerRunsComeInOneLaterEvent) {
    bool first = true;
    port.OnRxChar = [&](TCustomComPort&, int count) {
        counts.push_back(count);
        if (first) {
            first = false;
            pty.Write("abcdef"); // arrives while this handler runs
            ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == count + 6; }));
        }
        std::string s;
        port.ReadText(s, count);
        received += s;
    };
    port.Open();
    pty.Write("xy");
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 8; }));
    EXPECT_EQ(received, "xyabcdef");
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0], 2);
    EXPECT_EQ(counts[1], 6);
}

TEST_F(ComThreadTest, EventCharacterRaisesRxFlagAfterRxChar) {
    std::vector<std::string> order;
    port.SetEvents({evRxChar, evRxFlag});
    port.OnRxChar = [&](TCustomComPort&, int count) {
        std::string s;
        port.ReadText(s, count);
        order.push_back("RxChar " + s);
    };
    port.OnRxFlag = [&](TCustomComPort&) { order.push_back("RxFlag"); };
    port.Open();
    pty.Write("42");
    ASSERT_TRUE(WaitUntil([&] { return order.size() == 1; }));
    pty.Write("\r");
    ASSERT_TRUE(WaitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"RxChar 42", "RxChar \r", "RxFlag"}));
}

TEST_F(ComThreadTest, LineErrorsAreDeliveredBeforeCharactersAndFlag) {
    // Hold the slave open to see what the kernel still keeps for it.
    const int look = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(look, 0);
    port.SetEvents({}); // no thread: the test delivers the event set itself
    port.Buffer().SetInputSize(4096);
    std::vector<std::string> order;
    port.OnError = [&](TCustomComPort&, TComErrors e) {
        order.push_back(e == TComErrors{errRxOverflow} ? "Error overflow" : "Error other");
    };
    port.OnRxChar = [&](TCustomComPort&, int count) { order.push_back("RxChar " + std::to_string(count)); };
    port.OnRxFlag = [&](TCustomComPort&) { order.push_back("RxFlag"); };
    port.Open();
    std::thread writer([&] { pty.Write(std::string(5000, '7') + "\r"); });
    // The queue fills up while the kernel still holds the rest: an overflow.
    ASSERT_TRUE(WaitUntil([&] {
        int kernel = 0;
        ioctl(look, FIONREAD, &kernel);
        return port.InputQueueCount() == 4096 && kernel > 0;
    }));
    port.InputQueueCount();
    TComThread::DeliverEvents(port, {evRxFlag, evRxChar, evError});
    EXPECT_EQ(order, (std::vector<std::string>{"Error overflow", "RxChar 4096", "RxFlag"}));
    std::string s;
    EXPECT_EQ(port.ReadText(s, 4096), 4096);
    writer.join();
    ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == 905; }));
    EXPECT_TRUE(port.PendingLineErrors().Empty()); // room again: reading the errors cleared them
    ::close(look);
}

TEST_F(ComThreadTest, WithoutTriggerTheBufferPathReadsTheBytes) {
    std::string buffered;
    int rxChar = 0;
    port.OnRxChar = [&](TCustomComPort&, int) { ++rxChar; };
    port.OnRxBuf = [&](TCustomComPort&, const void* data, int count) {
        buffered.append(static_cast<const char*>(data), static_cast<std::size_t>(count));
    };
    port.SetTriggersOnRxChar(false);
    EXPECT_FALSE(port.TriggersOnRxChar());
    port.Open();
    pty.Write("3.25\r");
    ASSERT_TRUE(WaitUntil([&] { return buffered.size() == 5; }));
    EXPECT_EQ(buffered, "3.25\r");
    EXPECT_EQ(port.InputQueueCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(rxChar, 0);
}

TEST_F(ComThreadTest, ALinkWithBufferCallbackTakesTheBytes) {
    std::string viaLink, viaEvent;
    std::vector<bool> rxActivity;
    TComLink link;
    link.BufferReceived = [&](TCustomComPort&, const void* data, int count) {
        viaLink.append(static_cast<const char*>(data), static_cast<std::size_t>(count));
    };
    link.RxActivity = [&](TCustomComPort&, bool on) { rxActivity.push_back(on); };
    port.AttachLink(&link);
    EXPECT_FALSE(port.TriggersOnRxChar());
    try {
        port.SetTriggersOnRxChar(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "A component is linked to OnRxBuf event");
    }
    int rxChar = 0;
    port.OnRxChar = [&](TCustomComPort&, int) { ++rxChar; };
    port.OnRxBuf = [&](TCustomComPort&, const void* data, int count) {
        viaEvent.append(static_cast<const char*>(data), static_cast<std::size_t>(count));
    };
    port.Open();
    pty.Write("9.5\r");
    ASSERT_TRUE(WaitUntil([&] { return viaLink.size() == 4; }));
    EXPECT_EQ(viaLink, "9.5\r");
    EXPECT_EQ(viaEvent, "9.5\r");
    EXPECT_EQ(rxChar, 0);
    ASSERT_GE(rxActivity.size(), 2u);
    EXPECT_TRUE(rxActivity.front());
    EXPECT_FALSE(rxActivity.back()); // the queue was read empty
    port.Close();
    port.DetachLink(&link);
    EXPECT_TRUE(port.TriggersOnRxChar());
}

TEST_F(ComThreadTest, CloseWhileAHandOverWaitsCompletesItFirst) {
    const int look = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(look, 0);
    std::vector<std::string> order;
    port.OnRxChar = [&](TCustomComPort&, int count) {
        std::string s;
        port.ReadText(s, count); // the device is still open
        order.push_back("RxChar " + s);
        port.SetConnected(false); // the close in progress does it
    };
    port.OnBeforeClose = [&](TCustomComPort&) { order.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TCustomComPort&) { order.push_back("AfterClose"); };
    pty.Write("8.5\r"); // waits in the kernel until the port opens
    ASSERT_TRUE(WaitUntil([&] {
        int kernel = 0;
        ioctl(look, FIONREAD, &kernel);
        return kernel == 4;
    }));
    port.Open();
    // Once the kernel's queue is empty the event thread has taken the bytes and hands them over; no
    // events run meanwhile, so the hand-over is still waiting when Close starts.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int kernel = 1; kernel != 0 && std::chrono::steady_clock::now() < end;)
        ioctl(look, FIONREAD, &kernel);
    ASSERT_TRUE(order.empty());
    port.Close();
    EXPECT_EQ(order, (std::vector<std::string>{"BeforeClose", "RxChar 8.5\r", "AfterClose"}));
    ::close(look);
}

// The user-interface thread that waits for the event thread's end runs its last hand-overs; one it
// starts after asking the thread to end is waited for to its end. Had the thread gone on beside it, it
// would purge the queue the work was reading: the work would take bytes from after a gap.
TEST(HandOver, WorkStartedAfterTheStopIsWaitedForToItsEnd) {
    TestApp();
    THandOver handOver;
    const std::atomic<bool> stopping{true};
    std::atomic<bool> finished{false}, returned{false};
    bool finishedWhenReturned = false;
    std::thread thread([&] {
        handOver.Run(
            [&] {
                handOver.Notify(); // anything that wakes the waiting thread meanwhile
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                finished = true;
            },
            stopping);
        finishedWhenReturned = finished;
        returned = true;
        handOver.Notify();
    });
    handOver.ServeUntil([&] { return returned.load(); });
    thread.join();
    EXPECT_TRUE(finishedWhenReturned);
}

TEST_F(ComThreadTest, AHandlerMayCloseThePort) {
    std::vector<std::string> order;
    port.OnRxChar = [&](TCustomComPort&, int count) {
        std::string s;
        port.ReadText(s, count);
        order.push_back("RxChar");
        port.SetConnected(false); // e.g. enough samples: stop from inside the handler
        order.push_back("closed");
    };
    port.OnRxFlag = [&](TCustomComPort&) { order.push_back("RxFlag"); };
    port.OnAfterClose = [&](TCustomComPort&) { order.push_back("AfterClose"); };
    port.Open();
    pty.Write("1\r");
    ASSERT_TRUE(WaitUntil([&] { return order.size() >= 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"RxChar", "AfterClose", "closed"}));
    EXPECT_FALSE(port.Connected());
    port.Open(); // and it opens again
    pty.Write("2\r");
    ASSERT_TRUE(WaitUntil([&] { return order.size() >= 6; }));
}

TEST_F(ComThreadTest, AThrowingHandlerIsReportedAndDeliveryGoesOn) {
    Reported reported;
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort&, int count) {
        std::string s;
        port.ReadText(s, count);
        received += s;
        if (++calls == 1) throw std::runtime_error("'abc' ist kein gültiger Gleitkommawert");
    };
    port.Open();
    pty.Write("abc\r");
    ASSERT_TRUE(WaitUntil([&] { return reported.messages.size() == 1; }));
    EXPECT_EQ(reported.messages[0], "'abc' ist kein gültiger Gleitkommawert");
    EXPECT_TRUE(port.Connected());
    pty.Write("4.5\r");
    ASSERT_TRUE(WaitUntil([&] { return calls == 2; }));
    EXPECT_EQ(received, "abc\r4.5\r");
    EXPECT_EQ(reported.messages.size(), 1u);
}

TEST_F(ComThreadTest, ADeviceThatGoesAwayClosesThePortAndIsReported) {
    Reported reported;
    ReadAll();
    std::vector<std::string> order;
    TComLink lamp;
    std::vector<bool> lampStates;
    lamp.ConnectionChanged = [&](TCustomComPort&, bool on) { lampStates.push_back(on); };
    port.AttachLink(&lamp);
    port.OnAfterClose = [&](TCustomComPort&) {
        order.push_back("AfterClose");
        EXPECT_TRUE(reported.messages.empty()); // the port is closed before the error shows
    };
    port.Open();
    pty.Write("1.5\r2.5\r");
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 8; }));
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !reported.messages.empty(); }));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(order, std::vector<std::string>{"AfterClose"});
    EXPECT_EQ(lampStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(reported.messages, std::vector<std::string>{"WaitForEvent method failed (Error: 1167)"});
    EXPECT_EQ(received, "1.5\r2.5\r");
    port.DetachLink(&lamp);
}

TEST_F(ComThreadTest, ADeviceThatGoesAwayGoesToOnExceptionWhenAssigned) {
    Reported reported;
    std::vector<std::string> seen;
    port.OnException = [&](TCustomComPort& p, TComExceptions code, const std::string& msg, std::int64_t err,
                           const std::string&) {
        EXPECT_FALSE(p.Connected());
        seen.push_back(std::to_string(code) + " " + msg + " " + std::to_string(err));
    };
    port.Open();
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<std::string>{"21 WaitForEvent method failed 1167"});
    EXPECT_TRUE(reported.messages.empty());
}

TEST_F(ComThreadTest, WindowHandOverDeliversAndStopsAtClose) {
    port.SetSyncMethod(smWindowSync);
    ReadAll();
    std::vector<std::string> order;
    port.OnAfterClose = [&](TCustomComPort&) { order.push_back("AfterClose"); };
    port.Open();
    pty.Write("5.5\r");
    ASSERT_TRUE(WaitUntil([&] { return received == "5.5\r"; }));
    pty.Write("6.5\r");
    port.Close();
    const std::size_t atClose = received.size();
    pty.Write("7.5\r");
    QCoreApplication::processEvents();
    EXPECT_EQ(received.size(), atClose); // nothing runs after the close
    EXPECT_EQ(order, std::vector<std::string>{"AfterClose"});
}

TEST_F(ComThreadTest, WithoutSynchronisationTheEventThreadReacts) {
    port.SetSyncMethod(smNone);
    std::atomic<int> total{0};
    std::atomic<bool> otherThread{false};
    const auto ui = std::this_thread::get_id();
    port.OnRxChar = [&](TCustomComPort& p, int count) {
        otherThread = std::this_thread::get_id() != ui;
        std::string s;
        total += p.ReadText(s, count);
    };
    port.Open();
    pty.Write("0.5\r1.5\r");
    ASSERT_TRUE(WaitUntil([&] { return total == 8; }));
    EXPECT_TRUE(otherThread);
    port.Close();
}
