// The real files shared with the project (camera clips, playlists, old ffmpeg reports) live in
// shared/testdata/real beside the checkout. One place finds them, so every test agrees on
// whether they are here; a test that needs one skips only when that folder is absent, and
// fails when the folder is there but its file is missing.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace fluxaro::test {

/// The folder of the shared real files, or empty when it is absent.
inline std::string sharedTestDataDir() {
    const std::filesystem::path folder =
        std::filesystem::path(FLUXARO_SOURCE_DIR).parent_path() / "shared" / "testdata" / "real";
    std::error_code code;
    if (!std::filesystem::is_directory(folder, code))
        return {};
    return folder.lexically_normal().string();
}

/// The path of a shared real file, or empty when the folder is absent. The path is given even
/// when the file itself is missing, so the test that opens it fails and says which one.
inline std::string sharedTestFile(const std::string &name) {
    const std::string folder = sharedTestDataDir();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / name).string();
}

/// The words of a skip for want of the folder.
inline std::string sharedTestDataAbsent() {
    return "the shared real test files are absent (no folder " +
           (std::filesystem::path(FLUXARO_SOURCE_DIR).parent_path() / "shared" / "testdata" /
            "real")
               .string() +
           ")";
}

} // namespace fluxaro::test

/// Skips the running test when the shared real files are absent, saying where they were looked for.
#define FLUXARO_NEEDS_SHARED_TEST_DATA()                                                           \
    do {                                                                                           \
        if (fluxaro::test::sharedTestDataDir().empty())                                            \
            GTEST_SKIP() << fluxaro::test::sharedTestDataAbsent();                                 \
    } while (false)
