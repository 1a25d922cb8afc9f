// The peer's own pieces: its command line, its JSON writer and its bounded reading
// of buffer text.

#include <gtest/gtest.h>
#include <simdjson.h>

#include <cmath>
#include <limits>

#include "json_writer.h"
#include "peer_options.h"
#include "record_decoders.h"

namespace {

using namespace velora_peer;

bool parse(std::vector<const char*> args, PeerOptions& options, std::string& error) {
    args.insert(args.begin(), "velora-peer");
    return parsePeerOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// Every option with a value, hexadecimal ids, repeated buffer options.
TEST(PeerOptions, AllOptions) {
    PeerOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--version", "9.1.2", "--class", "X START", "--hidden", "--connection", "C:\\a.dae",
                       "--wait-connection", "500", "--read-buffer", "0x80000001", "--read-buffer", "3",
                       "--create-buffer", "7:4096", "--hold-lock", "20", "--close-link", "--listen", "-1",
                       "--exit-after-messages", "2", "--dump", "--pretty"},
                      options, error))
        << error;
    EXPECT_EQ(options.version, "9.1.2");
    EXPECT_EQ(options.windowClass, "X START");
    EXPECT_TRUE(options.hidden);
    EXPECT_EQ(options.connection, "C:\\a.dae");
    EXPECT_EQ(options.waitConnectionMs, 500);
    EXPECT_EQ(options.readBuffers, (std::vector<uint32_t>{0x80000001u, 3}));
    EXPECT_EQ(options.createBuffers, (std::vector<std::pair<uint32_t, uint32_t>>{{7, 4096}}));
    EXPECT_EQ(options.holdLockMs, 20);
    EXPECT_TRUE(options.closeLink);
    EXPECT_EQ(options.listenMs, -1);
    EXPECT_EQ(options.exitAfterMessages, 2);
    EXPECT_TRUE(options.dump && options.pretty);
}

// Bad input is refused with a message naming the option.
TEST(PeerOptions, Errors) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},         {"--listen"},          {"--listen", "soon"},       {"--listen", "-5"},
        {"--read-buffer", "0"}, {"--read-buffer", "0x1FFFFFFFF"}, {"--create-buffer", "7"},
        {"--create-buffer", "7:0"}, {"--version", ""}, {"--hold-lock", "99999999999"}};
    for (const auto& args : bad) {
        PeerOptions options;
        std::string error;
        EXPECT_FALSE(parse(args, options, error)) << args[0];
        EXPECT_NE(error.find(args[0]), std::string::npos) << error;
    }
}

// Escapes, UTF-16 input, non-finite numbers and nesting give valid JSON.
TEST(JsonWriter, ProducesValidJson) {
    for (bool pretty : {false, true}) {
        JsonWriter json(pretty);
        json.beginObject();
        json.member("quote", "a\"b\\c\n\x01");
        json.member("wide", std::u16string_view(u"\u00e9\U0001F600"));
        json.member("nan", std::numeric_limits<float>::quiet_NaN());
        json.member("inf", std::numeric_limits<double>::infinity());
        json.member("float", 0.5f);
        json.member("neg", int32_t{-3});
        json.key("list");
        json.beginArray();
        json.value(uint32_t{1});
        json.beginObject();
        json.endObject();
        json.beginArray(true);
        json.value(int64_t{-1});
        json.value(2.5);
        json.endArray();
        json.endArray();
        json.endObject();

        simdjson::dom::parser parser;
        simdjson::dom::element doc;
        ASSERT_FALSE(parser.parse(json.text()).get(doc)) << json.text();
        EXPECT_EQ(std::string_view(doc["quote"]), "a\"b\\c\n\x01");
        EXPECT_EQ(std::string_view(doc["wide"]), "\u00e9\U0001F600");
        EXPECT_TRUE(doc["nan"].is_null());
        EXPECT_TRUE(doc["inf"].is_null());
        EXPECT_EQ(double(doc["float"]), 0.5);
        EXPECT_EQ(int64_t(doc["neg"]), -3);
        EXPECT_EQ(simdjson::dom::array(doc["list"]).size(), 3u);
        EXPECT_EQ(json.text().find('\n') != std::string::npos, pretty);
        EXPECT_NE(json.text().find(pretty ? "[-1, 2.5]" : "[-1,2.5]"), std::string::npos) << json.text();
    }
}

// Buffer text stops at the terminator or at the byte limit, an odd limit included.
TEST(RecordDecoders, BufferTextIsBounded) {
    const char16_t text[] = u"abc\0def";
    EXPECT_EQ(readBufferText(text, sizeof text), u"abc");
    const char16_t full[] = {u'x', u'y', u'z'};
    EXPECT_EQ(readBufferText(full, sizeof full), u"xyz");
    EXPECT_EQ(readBufferText(full, 5), u"xy");
    EXPECT_EQ(readBufferText(nullptr, 100), u"");
    EXPECT_NE(findRecordDecoder(VantroAPI::kTagSrfc), nullptr);
    EXPECT_EQ(findRecordDecoder(VantroAPI::makeTag("ZZZZ")), nullptr);
}

}  // namespace
