#pragma once
// Widget tests need a QApplication (QT_QPA_PLATFORM=offscreen under ctest) and a temporary folder.

#include <QApplication>

#include <filesystem>
#include <stdexcept>
#include <string>

#include <stdlib.h>

inline QApplication& TestWidgetApp() {
    static int argc = 1;
    static char arg0[] = "test";
    static char* argv[] = {arg0, nullptr};
    static QApplication app(argc, argv);
    return app;
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
