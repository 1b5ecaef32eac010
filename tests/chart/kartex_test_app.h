#pragma once
// Widget tests need a QApplication (QT_QPA_PLATFORM=offscreen under ctest) and a temporary folder.

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <stdlib.h>

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

class TestTempDir {
public:
    TestTempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "mevrant-chart-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TestTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestTempDir(const TestTempDir&) = delete;
    TestTempDir& operator=(const TestTempDir&) = delete;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
