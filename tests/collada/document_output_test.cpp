// The file sink: exact bytes, failures reported. (CR LF line ends, buffering and the
// order of line-free text are held by the golden documents, written through a tiny and a
// large buffer; a failing sink by the writer's test.)

#include "collada/document_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "support/test_environment.h"

namespace vantro::collada {
namespace {

// A file receives exactly the bytes; a file that cannot be opened reports false and a
// device that refuses the bytes makes write throw.
TEST(FileByteSink, WritesAndReportsFailures) {
    const test::TestEnvironment environment;
    const std::filesystem::path dir = environment.root();
    const std::filesystem::path file = dir / "out.dae";
    {
        FileByteSink sink;
        ASSERT_TRUE(sink.open(file));
        DocumentOutput out(sink, 4);
        out << "line one\nline two\n";
        out.flush();
        sink.close();
    }
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "line one\r\nline two\r\n");

    FileByteSink directory;
    EXPECT_FALSE(directory.open(dir));
    EXPECT_FALSE(directory.isOpen());

    if (std::filesystem::exists("/dev/full")) {
        FileByteSink full;
        ASSERT_TRUE(full.open("/dev/full"));
        EXPECT_THROW(full.write("x"), std::runtime_error);
    }
}

}  // namespace
}  // namespace vantro::collada
