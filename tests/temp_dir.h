#pragma once
// A fresh folder for one test, removed with everything in it when the test ends: private (0700) unless a
// test lets others pass through it (kPassable), e.g. to let a child that dropped root reach its files.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempDir {
public:
    static constexpr auto kPassable = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                      std::filesystem::perms::group_exec |
                                      std::filesystem::perms::others_read |
                                      std::filesystem::perms::others_exec;

    explicit TempDir(const char* under = nullptr,
                     std::filesystem::perms perms = std::filesystem::perms::owner_all) {
        const std::filesystem::path base =
            under ? std::filesystem::path(under) : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "mevrant-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed in " + base.string());
        path_ = tmpl;
        std::filesystem::permissions(path_, perms);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
