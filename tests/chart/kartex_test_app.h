#pragma once
// Widget tests need a QApplication (QT_QPA_PLATFORM=offscreen under ctest).

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

// The application lives from before the first test to after the last one and is gone before the program's
// static objects are torn down: Qt's own statics must outlive it.
class TestWidgetAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
    void TearDown() override { app_.reset(); }
    QApplication& App() {
        if (!app_) app_ = std::make_unique<QApplication>(argc_, argv_);
        return *app_;
    }

private:
    int argc_ = 1;
    char arg0_[5] = "test";
    char* argv_[2] = {arg0_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// gtest owns registered environments.
inline TestWidgetAppEnvironment* const kTestWidgetAppEnvironment =
    static_cast<TestWidgetAppEnvironment*>(::testing::AddGlobalTestEnvironment(new TestWidgetAppEnvironment));

inline QApplication& TestWidgetApp() {
    return kTestWidgetAppEnvironment->App();
}

// A fixture member declared before any widget: the application exists before the widgets are made.
struct TestWidgetAppFirst {
    TestWidgetAppFirst() { TestWidgetApp(); }
};
