#include "common/library_loader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/catalogue.h"
#include "common/error_report.h"
#include "common/trace.h"

namespace kesto::common {
namespace {

namespace fs = std::filesystem;

std::vector<std::string>& presented() {
    static std::vector<std::string> texts;
    return texts;
}

void record(const std::string& text) {
    presented().push_back(text);
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Whether the process has the file mapped, that is, the library is still loaded.
bool mapped(const std::string& path) {
    return read_file("/proc/self/maps").find(path) != std::string::npos;
}

// A private program folder with the test libraries in its DLL folder, the process's
// catalogue loaded, the trace on and errors recorded.
class LibraryLoader : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kesto-loader-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        folder_ = tmpl;
        fs::create_directory(folder_ / "DLL");
        fs::copy_file(KESTO_TEST_INIT_ACCEPTS, dll("Accepts.so"));
        fs::copy_file(KESTO_TEST_INIT_REFUSES, dll("Refuses.so"));
        fs::copy_file(KESTO_TEST_NO_INIT, dll("NoInit.so"));
        std::ofstream(folder_ / "msg_us.bin", std::ios::binary)
            << encode_catalogue({{677, "***"}, {321, "Error"}});
        ASSERT_GT(load_catalogue((folder_ / "msg_us.bin").string()), 0U);
        set_trace_path((folder_ / "trace.txt").string());
        presented().clear();
        set_error_presenter(&record);
    }
    void TearDown() override {
        set_error_presenter(nullptr);
        set_trace_path("");
        fs::remove_all(folder_);
    }
    std::string dll(const char* file) const { return (folder_ / "DLL" / file).string(); }
    std::string folder() const { return folder_.string(); }
    std::string traced() const { return read_file(folder_ / "trace.txt"); }

    fs::path folder_;
};

TEST_F(LibraryLoader, PathIsTheDllFolderOfTheGivenFolder) {
    EXPECT_EQ(library_path("X.so", "/opt/app"), "/opt/app/DLL/X.so");
    EXPECT_EQ(library_path("X.so", "/opt/app/"), "/opt/app/DLL/X.so");
    EXPECT_EQ(library_path("X.so", ""), "X.so");

    fs::copy_file(dll("Accepts.so"), folder_ / "Beside.so");
    EXPECT_FALSE(load_library("Beside.so", folder()).loaded()) << "only DLL/ is searched";
    EXPECT_NE(traced().find("] DLL could not be loaded: " + dll("Beside.so") + "\n"),
              std::string::npos);
}

TEST_F(LibraryLoader, AcceptedLibraryGivesItsExportsUntilTheHandleGoes) {
    {
        LibraryHandle handle("Accepts.so", folder(), true);
        const auto answer = handle.get<int (*)()>("Answer");
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_TRUE(mapped(dll("Accepts.so")));
    }
    EXPECT_FALSE(mapped(dll("Accepts.so")));
    EXPECT_TRUE(presented().empty());
    EXPECT_EQ(traced(), "");
}

TEST_F(LibraryLoader, RefusingLibraryIsUnloadedAndTraced) {
    EXPECT_FALSE(load_library("Refuses.so", folder()).loaded());
    EXPECT_FALSE(mapped(dll("Refuses.so")));
    EXPECT_NE(traced().find("] OPEN  : Could not load dll " + dll("Refuses.so") + "\n"),
              std::string::npos);
}

TEST_F(LibraryLoader, LibraryWithoutDllInitIsUnloadedAndTraced) {
    LibraryHandle handle("NoInit.so", folder(), true);
    EXPECT_EQ(handle.get_function("Answer"), nullptr);
    EXPECT_FALSE(mapped(dll("NoInit.so")));
    EXPECT_NE(traced().find("] OPEN  : Could not load dll " + dll("NoInit.so") + "\n"),
              std::string::npos);
    EXPECT_EQ(presented(), std::vector<std::string>{"Could not load dll: NoInit.so"});
}

TEST_F(LibraryLoader, MissingFileIsReportedAtEveryCallAndLoadedOnceItAppears) {
    LibraryHandle handle("Late.so", folder(), true);
    EXPECT_EQ(handle.get_function("Answer"), nullptr);
    EXPECT_EQ(handle.get_function("Answer"), nullptr);
    EXPECT_EQ(presented(), std::vector<std::string>(2, "Could not load dll: Late.so"));
    EXPECT_NE(traced().find("] DLL could not be loaded: " + dll("Late.so") + "\n"),
              std::string::npos);

    fs::copy_file(dll("Accepts.so"), dll("Late.so"));
    EXPECT_NE(handle.get_function("Answer"), nullptr);
    EXPECT_EQ(presented().size(), 2U);
}

TEST_F(LibraryLoader, MissingExportIsReportedAndTheLibraryStays) {
    LibraryHandle handle("Accepts.so", folder(), true);
    EXPECT_EQ(handle.get_function("Question"), nullptr);
    EXPECT_EQ(presented(),
              std::vector<std::string>{"Could not find function 'Question' in dll Accepts.so"});
    EXPECT_TRUE(handle.loaded());
}

TEST_F(LibraryLoader, WithoutShowErrorsNothingIsPresented) {
    LibraryHandle missing("Missing.so", folder(), false);
    EXPECT_EQ(missing.get_function("Answer"), nullptr);
    LibraryHandle accepts("Accepts.so", folder(), false);
    EXPECT_EQ(accepts.get_function("Question"), nullptr);
    EXPECT_TRUE(presented().empty());
}

TEST_F(LibraryLoader, WithoutFolderTheFileNameAloneIsLoaded) {
    EXPECT_FALSE(load_library("kesto-no-such-library.so", "").loaded());
    EXPECT_NE(traced().find("] DLL could not be loaded: kesto-no-such-library.so\n"),
              std::string::npos);
}

}  // namespace
}  // namespace kesto::common
