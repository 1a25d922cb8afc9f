#pragma once
// A small streaming JSON writer for documents: objects and string arrays are indented
// two spaces per level, numeric arrays stay on one line, and numbers use the fewest
// digits that read back to the same value (floats as floats, so single-precision mesh
// data does not grow to 17 digits).

#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::docio {

class JsonWriter {
public:
    // Appends to out, which must outlive the writer.
    explicit JsonWriter(std::string& out) : out_(out) {}

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The next value is the member named name (the caller must be inside an object).
    void key(std::string_view name);

    void string(std::string_view utf8);
    void string(std::u16string_view utf16);
    void boolean(bool value);
    void integer(int64_t value);
    // value must be finite (the caller's bug otherwise).
    void number(double value);
    void number(float value);
    // One-line arrays.
    void numbers(std::span<const double> values);
    void numbers(std::span<const float> values);
    void integers(std::span<const int32_t> values);
    // One-line array of the numbers of packed records (an ON_3fPoint is three floats,
    // an ON_MeshFace four int32s), record after record.
    template <typename Scalar, typename Record>
    void flatten(std::span<const Record> records) {
        static_assert(std::is_trivially_copyable_v<Record> && sizeof(Record) % sizeof(Scalar) == 0);
        constexpr size_t n = sizeof(Record) / sizeof(Scalar);
        beforeValue();
        out_.push_back('[');
        for (size_t i = 0; i < records.size(); ++i) {
            Scalar values[n];
            std::memcpy(values, &records[i], sizeof values);
            for (size_t k = 0; k < n; ++k) {
                if (i + k > 0)
                    out_.push_back(',');
                appendScalar(values[k]);
            }
        }
        out_.push_back(']');
    }

private:
    void beforeValue();
    void newline();
    void appendEscaped(std::string_view utf8);
    void appendScalar(double value);
    void appendScalar(float value);
    void appendScalar(int32_t value);

    struct Level {
        bool object;
        bool empty = true;
    };
    std::string& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace vantro::docio
