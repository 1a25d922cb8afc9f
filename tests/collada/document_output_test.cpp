// The document's byte stream: CR LF line ends, buffering, file errors.

#include "collada/document_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/test_environment.h"

namespace vantro::collada {
namespace {

// Every line feed becomes CR LF, wherever it falls relative to the buffer.
TEST(DocumentOutput, LineFeedsBecomeCrLf) {
    for (const std::size_t bufferSize : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
        StringByteSink sink;
        DocumentOutput out(sink, bufferSize);
        out << "a\nbc" << '\n'
            << "\n\n"
            << "long text without line feed"
            << "x\n";
        out.flush();
        EXPECT_EQ(sink.text, "a\r\nbc\r\n\r\n\r\nlong text without line feedx\r\n") << bufferSize;
    }
}

// Nothing reaches the sink before a flush while the buffer has room; a text longer
// than the buffer goes straight through, after what was buffered before it.
TEST(DocumentOutput, BufferingKeepsOrder) {
    StringByteSink sink;
    DocumentOutput out(sink, 8);
    out << "abc";
    EXPECT_EQ(sink.text, "");
    out << "0123456789";
    EXPECT_EQ(sink.text, "abc0123456789");
    out << "de";
    out.flush();
    EXPECT_EQ(sink.text, "abc0123456789de");
}

// Line-free text keeps its place among translated text, whether it fits the buffer or
// goes straight through.
TEST(DocumentOutput, LineFreeTextKeepsOrder) {
    StringByteSink sink;
    DocumentOutput out(sink, 8);
    out << "<p>\n";
    out.writeLineFree("1 2 ");
    out.writeLineFree("3 4 5 6 7 8 9 ");
    out << "</p>\n";
    out.flush();
    EXPECT_EQ(sink.text, "<p>\r\n1 2 3 4 5 6 7 8 9 </p>\r\n");
}

// A failing sink's exception reaches the writer.
TEST(DocumentOutput, SinkFailurePropagates) {
    struct FailingSink : ByteSink {
        void write(std::string_view) override { throw std::runtime_error("disk full"); }
    } sink;
    DocumentOutput out(sink, 4);
    EXPECT_THROW(out << "more than four", std::runtime_error);
}

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
