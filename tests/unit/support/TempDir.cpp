#include "TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string RandomSuffix() {
    static std::mt19937_64 generator{
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::to_string(generator() % 1000000000000ULL);
}

fs::path MakeUniqueFolder() {
    const fs::path base = fs::absolute(fs::temp_directory_path());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("qdv-" + RandomSuffix());
        std::error_code error;
        if (fs::create_directory(candidate, error)) return candidate.make_preferred();
    }
    throw std::runtime_error("no unique temporary folder under " + base.string());
}

// Tests leave files read-only (or folders without their owner's bits); the clean-up must still
// be able to remove them.
void RestoreOwnerAccess(const fs::path& root) {
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
}

}  // namespace

TempDir::TempDir() : m_path(MakeUniqueFolder().string()) {}

TempDir::~TempDir() {
    RestoreOwnerAccess(m_path);
    std::error_code error;
    fs::remove_all(m_path, error);
}

std::string TempDir::Join(const std::string& name) const {
    return (fs::path(m_path) / name).make_preferred().string();
}

bool TempDir::MakeFile(const std::string& name, const std::string& contents) const {
    std::ofstream out(Join(name), std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return static_cast<bool>(out.flush());
}

bool TempDir::MakeFolder(const std::string& name) const {
    std::error_code error;
    return fs::create_directories(Join(name), error);
}

std::string TempDir::Contents(const std::string& name) const {
    std::ifstream in(Join(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::Exists(const std::string& name) const {
    std::error_code error;
    return fs::exists(fs::symlink_status(Join(name), error));
}
