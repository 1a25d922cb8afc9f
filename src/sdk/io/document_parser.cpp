#include "io/document_parser.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <cstring>
#include <limits>
#include <set>
#include <type_traits>

#include "io/base64.h"
#include "sdk/io/document_format.h"
#include "io/json_cursor.h"

namespace vantro::docio {
namespace {

using Kind = JsonCursor::Kind;

// What a member handler did with the member's value.
enum class Handled { ok, failed, unknown };
Handled result(bool ok) { return ok ? Handled::ok : Handled::failed; }
// The same for a field whose presence is checked afterwards.
Handled given(bool& present, Handled h) {
    present = true;
    return h;
}
Handled given(bool& present, bool ok) { return given(present, result(ok)); }

std::string missingField(std::string_view name) { return "missing required field \"" + std::string(name) + "\""; }

std::string numberText(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A closed range, optionally open at the low end ("> 0").
struct Range {
    double lo;
    double hi;
    bool loOpen = false;
    bool contains(double v) const { return (loOpen ? v > lo : v >= lo) && v <= hi; }
    std::string describe() const {
        if (hi == std::numeric_limits<double>::max())
            return (loOpen ? "greater than " : "at least ") + numberText(lo);
        return "from " + numberText(lo) + " to " + numberText(hi);
    }
};
constexpr double kMax = std::numeric_limits<double>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// Strict UUID text: 8-4-4-4-12 hexadecimal digits.
bool isUuidText(std::string_view s) {
    if (s.size() != 36)
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = s[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (hyphen ? c != '-' : !hex)
            return false;
    }
    return true;
}

std::optional<std::string> checkMesh(const ON_Mesh& mesh) {
    const int v = mesh.m_V.Count();
    const int f = mesh.m_F.Count();
    for (int i = 0; i < f; ++i) {
        for (const int index : mesh.m_F[i].vi) {
            if (index < 0 || index >= v) {
                return "face " + std::to_string(i) + " refers to vertex " + std::to_string(index) + " of " +
                       std::to_string(v);
            }
        }
    }
    auto perVertex = [&](int count, int per, const char* field) -> std::optional<std::string> {
        if (count == 0 || count == v)
            return std::nullopt;
        return std::string(field) + ": " + std::to_string(count * per) + " numbers given, " + std::to_string(per) +
               " per vertex (" + std::to_string(v) + " vertices) expected";
    };
    if (auto e = perVertex(mesh.m_N.Count(), 3, "normals"))
        return e;
    if (auto e = perVertex(mesh.m_T.Count(), 2, "textureCoordinates"))
        return e;
    if (mesh.m_FN.Count() != 0 && mesh.m_FN.Count() != f) {
        return "faceNormals: " + std::to_string(mesh.m_FN.Count() * 3) + " numbers given, 3 per face (" +
               std::to_string(f) + " faces) expected";
    }
    return std::nullopt;
}

class Parser {
public:
    Parser(std::string_view text, DocumentData& out, const BinarySource& binary) : c_(text), d_(out), binary_(binary) {}

    ParseOutcome run() {
        ParseOutcome outcome;
        outcome.ok = readRoot() && c_.finish();
        if (!outcome.ok)
            outcome.error = errorText();
        outcome.warnings = std::move(warnings_);
        return outcome;
    }

private:
    // --- context for messages ---

    struct FieldScope {
        FieldScope(Parser& p, std::string_view name) : p_(p), saved_(p.field_) {
            p.field_ = saved_.empty() ? std::string(name) : saved_ + "." + std::string(name);
        }
        ~FieldScope() { p_.field_ = saved_; }
        Parser& p_;
        std::string saved_;
    };

    // While a table entry is read, messages name it by kind and index ("layer 2"); once
    // it is complete, by its label (entryLabel).
    struct EntryScope {
        EntryScope(Parser& p, std::string_view kind, size_t index = kNoIndex)
            : p_(p), kind_(kind), index_(index), savedEntry_(p.entry_), savedField_(p.field_) {
            p.entry_ = index == kNoIndex ? std::string(kind) : std::string(kind) + " " + std::to_string(index);
            p.field_.clear();
        }
        ~EntryScope() {
            p_.entry_ = savedEntry_;
            p_.field_ = savedField_;
        }
        std::string label(const ON_wString& name, const ON_UUID& id) const {
            return entryLabel(kind_, index_, name, id);
        }
        std::string label(const ON_ModelComponent& c) const { return label(c.Name(), c.Id()); }

        static constexpr size_t kNoIndex = ~size_t{0};
        Parser& p_;
        std::string_view kind_;
        size_t index_;
        std::string savedEntry_;
        std::string savedField_;
    };

    std::string errorText() const {
        if (!semantic_.empty())
            return semantic_;
        size_t line = 0;
        size_t column = 0;
        c_.lineAndColumn(c_.errorOffset(), line, column);
        std::string text = "line " + std::to_string(line) + " column " + std::to_string(column) + ": ";
        if (!errorEntry_.empty())
            text += errorEntry_ + ": ";
        if (!errorField_.empty())
            text += errorField_ + ": ";
        return text + c_.error();
    }

    // Keeps the entry and field being read when the first failure happens; the scopes
    // unwind afterwards.
    void capture() {
        if (contextSaved_)
            return;
        errorEntry_ = entry_;
        errorField_ = field_;
        contextSaved_ = true;
    }

    // A value-level failure at the cursor's position.
    bool fail(std::string what) {
        capture();
        return c_.fail(std::move(what));
    }

    // Every cursor call goes through here, so the innermost failure names its context.
    bool check(bool ok) {
        if (!ok)
            capture();
        return ok;
    }

    // A failure of a complete entry, named by its label.
    bool refuse(const std::string& label, const std::string& what) {
        if (semantic_.empty())
            semantic_ = label + ": " + what;
        c_.fail(what);  // stops the cursor
        return false;
    }

    void noteUnknown(std::string_view path, std::string_view key) {
        std::string full = std::string(path) + "." + std::string(key);
        if (unknownSeen_.insert(full).second)
            warnings_.push_back("unknown field \"" + full + "\" ignored");
    }

    // --- structure ---

    template <typename Handler>
    bool members(std::string_view path, Handler&& handler) {
        if (!check(c_.beginObject()))
            return false;
        std::string key;
        while (c_.nextMember(key)) {
            if (c_.peek() == Kind::null) {
                if (!check(c_.readNull()))
                    return false;
                continue;
            }
            FieldScope scope(*this, key);
            const Handled h = handler(std::string_view(key));
            if (h == Handled::failed)
                return check(false);
            if (h == Handled::unknown) {
                noteUnknown(path, key);
                if (!check(c_.skipValue()))
                    return false;
            }
        }
        return check(!c_.failed());
    }

    template <typename Each>
    bool elements(Each&& each) {
        if (!check(c_.beginArray()))
            return false;
        size_t index = 0;
        while (c_.nextElement()) {
            if (!each(index++))
                return check(false);
        }
        return check(!c_.failed());
    }

    // An array of objects inside an entry: each(index) reads one, and messages add its
    // index to the field ("textures.1.filePath").
    template <typename Each>
    bool records(Each&& each) {
        return elements([&](size_t i) {
            FieldScope scope(*this, std::to_string(i));
            return each(i);
        });
    }

    // Checked once the object is closed, so the message points at its end.
    bool require(bool present, std::string_view name) { return present || fail(missingField(name)); }

    // --- values ---

    bool string(std::string& out) { return check(c_.readString(out)); }

    bool string(ON_wString& out) {
        std::string utf8;
        if (!string(utf8))
            return false;
        out = ON_wString::FromUtf8(utf8);
        return true;
    }

    bool flag(bool& out) { return check(c_.readBool(out)); }

    bool integer(int64_t& out, int64_t lo, int64_t hi) {
        if (!check(c_.readInt64(out)))
            return false;
        if (out < lo || out > hi) {
            return fail(std::to_string(out) + " is outside " + std::to_string(lo) + " to " + std::to_string(hi));
        }
        return true;
    }

    bool integer(int& out, int64_t lo, int64_t hi) {
        int64_t v = 0;
        if (!integer(v, lo, hi))
            return false;
        out = static_cast<int>(v);
        return true;
    }

    bool number(double& out, const Range& range) {
        if (!check(c_.readDouble(out)))
            return false;
        if (!range.contains(out))
            return fail(numberText(out) + " is not " + range.describe());
        return true;
    }

    bool uuid(ON_UUID& out) {
        std::string text;
        if (!string(text))
            return false;
        if (!isUuidText(text)) {
            return fail("expected an id (8-4-4-4-12 hexadecimal digits), found \"" + text.substr(0, 40) + "\"");
        }
        out = ON_UuidFromString(std::string_view(text));
        return true;
    }

    template <typename T, size_t N>
    bool word(const std::array<Word<T>, N>& words, T& out) {
        std::string text;
        if (!string(text))
            return false;
        const auto value = fromWord(words, text);
        if (!value)
            return fail("\"" + text.substr(0, 40) + "\" is not one of " + wordList(words));
        out = *value;
        return true;
    }

    // A fixed-size array of numbers.
    template <typename Scalar>
    bool fixedNumbers(Scalar* out, size_t n, const char* expected) {
        size_t count = 0;
        const bool ok = c_.readNumbers<Scalar>([](size_t) {},
                                               [&](Scalar v) {
                                                   if (count < n)
                                                       out[count] = v;
                                                   ++count;
                                               });
        if (!check(ok))
            return false;
        if (count != n)
            return fail(std::string("expected ") + expected + ", found " + std::to_string(count) + " numbers");
        return true;
    }

    bool color(ON_Color& out) {
        int32_t rgb[3] = {};
        if (!fixedNumbers(rgb, 3, "[r, g, b]"))
            return false;
        for (const int32_t v : rgb) {
            if (v < 0 || v > 255)
                return fail("colour components must be integers from 0 to 255");
        }
        out = ON_Color(rgb[0], rgb[1], rgb[2]);
        return true;
    }

    bool xform(ON_Xform& out) {
        double m[16] = {};
        if (!fixedNumbers(m, 16, "16 numbers (a 4x4 transform, row by row)"))
            return false;
        for (int i = 0; i < 16; ++i)
            out.m_xform[i / 4][i % 4] = m[i];
        return true;
    }

    bool point(double (&out)[3]) { return fixedNumbers(out, 3, "[x, y, z]"); }

    // One name for the readers above, so that set() finds the one its setter's type needs.
    bool read(ON_UUID& out) { return uuid(out); }
    bool read(ON_wString& out) { return string(out); }
    bool read(bool& out) { return flag(out); }
    bool read(ON_Color& out) { return color(out); }
    bool read(int& out, int64_t lo, int64_t hi) { return integer(out, lo, hi); }
    template <typename T, size_t N>
    bool read(T& out, const std::array<Word<T>, N>& words) {
        return word(words, out);
    }

    // For the SDK's types that keep a field behind a setter: reads the member's value as
    // the setter's parameter type and hands it over. extra goes to the reader (an
    // integer range, a word table).
    template <typename Target, typename Owner, typename Arg, typename... Extra>
    Handled set(Target& target, void (Owner::*setter)(Arg), const Extra&... extra) {
        std::remove_cvref_t<Arg> value{};
        if (!read(value, extra...))
            return Handled::failed;
        (target.*setter)(value);
        return Handled::ok;
    }

    // The members every model component (layer, material, mapping, bitmap, definition)
    // carries.
    Handled componentField(std::string_view key, ON_ModelComponent& c) {
        if (key == "id")
            return set(c, &ON_ModelComponent::SetId);
        if (key == "name")
            return set(c, &ON_ModelComponent::SetName);
        return Handled::unknown;
    }

    // Channels are kept unsigned, yet the plug-in's own (its world projections, -14 and
    // -13) are written signed: both spellings are accepted.
    bool mappingChannel(unsigned int& out) {
        int64_t channel = 0;
        if (!integer(channel, kInt32Min, std::numeric_limits<uint32_t>::max()))
            return false;
        out = static_cast<unsigned int>(channel);
        return true;
    }

    // {"binary": [byteOffset, count]}: count scalars at byteOffset of the binary
    // companion, every one checked like a number in the text (finite, fits its type).
    // The reference of a binary array: where its numbers are, checked against the size.
    template <typename Scalar>
    bool binaryReference(uint64_t& offset, uint64_t& count) {
        double ref[2] = {};
        bool hasRef = false;
        const bool ok = members("binary array", [&](std::string_view key) {
            if (key == "binary")
                return given(hasRef, fixedNumbers(ref, 2, "[byteOffset, count]"));
            return Handled::unknown;
        });
        if (!ok || !require(hasRef, "binary"))
            return false;
        constexpr double kLimit = 9007199254740992.0;  // 2^53: every integer below is exact
        for (const double v : ref) {
            if (!(v >= 0 && v < kLimit) || v != std::floor(v))
                return fail("binary: offset and count must be integers >= 0");
        }
        offset = static_cast<uint64_t>(ref[0]);
        count = static_cast<uint64_t>(ref[1]);
        if (!binary_.read)
            return fail("binary: the document has no binary companion");
        if (offset > binary_.size || count > (binary_.size - offset) / sizeof(Scalar)) {
            return fail("binary: " + std::to_string(count) + " numbers at byte " + std::to_string(offset) +
                        " run past the companion's " + std::to_string(binary_.size) + " bytes");
        }
        return true;
    }

    // The numbers into into[0, count), checked like numbers in the text.
    template <typename Scalar>
    bool binaryInto(uint64_t offset, uint64_t count, Scalar* into) {
        if (count > 0 && !binary_.read(offset, count * sizeof(Scalar), into))
            return fail("binary: cannot read the companion");
        if constexpr (std::is_floating_point_v<Scalar>) {
            for (uint64_t i = 0; i < count; ++i) {
                if (!std::isfinite(into[i]))
                    return fail("binary: a number is not finite");
            }
        }
        return true;
    }

    // {"binary": [byteOffset, count]}: count scalars at byteOffset of the binary
    // companion, every one checked like a number in the text (finite, fits its type).
    template <typename Scalar>
    bool binaryNumbers(std::vector<Scalar>& out) {
        uint64_t offset = 0, count = 0;
        if (!binaryReference<Scalar>(offset, count))
            return false;
        out.resize(count);
        return binaryInto(offset, count, out.data());
    }

    // A flat array of numbers, as text or in the binary companion.
    template <typename Scalar>
    bool numbers(std::vector<Scalar>& out) {
        if (c_.peek() == Kind::object)
            return binaryNumbers(out);
        out.clear();
        return check(c_.readNumbers<Scalar>([&](size_t n) { out.reserve(n); }, [&](Scalar v) { out.push_back(v); }));
    }

    // Numbers grouped N to an element (ON_3fPoint, ON_MeshFace, ...).
    template <typename Tuple, typename Scalar, size_t N>
    bool tuples(ON_SimpleArray<Tuple>& out, const char* per) {
        static_assert(sizeof(Tuple) == N * sizeof(Scalar) && std::is_trivially_copyable_v<Tuple>);
        auto& v = out.vector();
        v.clear();
        if (c_.peek() == Kind::object) {
            // Straight into the array: no second copy of the numbers.
            uint64_t offset = 0, count = 0;
            if (!binaryReference<Scalar>(offset, count))
                return false;
            if (count % N != 0) {
                return fail(std::to_string(count) + " numbers, not a multiple of " + std::to_string(N) + " (" + per +
                            ")");
            }
            v.resize(count / N);
            return binaryInto(offset, count, reinterpret_cast<Scalar*>(v.data()));
        }
        Scalar buf[N] = {};
        size_t k = 0;
        size_t total = 0;
        const bool ok = c_.readNumbers<Scalar>([&](size_t n) { v.reserve(n / N); },
                                               [&](Scalar x) {
                                                   buf[k++] = x;
                                                   ++total;
                                                   if (k == N) {
                                                       Tuple t;
                                                       std::memcpy(static_cast<void*>(&t), buf, sizeof t);
                                                       v.push_back(t);
                                                       k = 0;
                                                   }
                                               });
        if (!check(ok))
            return false;
        if (k != 0) {
            return fail(std::to_string(total) + " numbers, not a multiple of " + std::to_string(N) + " (" + per + ")");
        }
        return true;
    }

    // --- exact geometry ---

    bool readCurve(meshing::NurbsCurve& c) {
        bool hasDegree = false, hasKnots = false, hasPoints = false;
        const bool ok = members("curve", [&](std::string_view key) {
            if (key == "degree")
                return given(hasDegree, integer(c.degree, 1, 64));
            if (key == "knots")
                return given(hasKnots, numbers(c.knots));
            if (key == "points")
                return given(hasPoints, numbers(c.points));
            return Handled::unknown;
        });
        return ok && require(hasDegree, "degree") && require(hasKnots, "knots") && require(hasPoints, "points");
    }

    bool readSurface(meshing::NurbsSurface& srf) {
        bool hasDegree = false, hasCount = false, hasU = false, hasV = false, hasPoints = false;
        const bool ok = members("surface", [&](std::string_view key) {
            if (key == "degree")
                return given(hasDegree, fixedNumbers(srf.degree.data(), 2, "[degreeU, degreeV]"));
            if (key == "count")
                return given(hasCount, fixedNumbers(srf.count.data(), 2, "[countU, countV]"));
            if (key == "knotsU")
                return given(hasU, numbers(srf.knots[0]));
            if (key == "knotsV")
                return given(hasV, numbers(srf.knots[1]));
            if (key == "points")
                return given(hasPoints, numbers(srf.points));
            return Handled::unknown;
        });
        return ok && require(hasDegree, "degree") && require(hasCount, "count") && require(hasU, "knotsU") &&
               require(hasV, "knotsV") && require(hasPoints, "points");
    }

    bool readFace(meshing::BrepFace& f) {
        bool hasSurface = false;
        const bool ok = members("face", [&](std::string_view key) {
            if (key == "surface")
                return given(hasSurface, readSurface(f.surface));
            if (key == "reversed")
                return result(flag(f.reversed));
            if (key == "cachedMesh")
                return result(integer(f.cachedMesh, -1, kInt32Max));
            if (key == "loops") {
                return result(records([&](size_t) {
                    meshing::BrepLoop& loop = f.loops.emplace_back();
                    return members("loop", [&](std::string_view k) {
                        if (k == "outer")
                            return result(flag(loop.outer));
                        if (k == "trims")
                            return result(numbers(loop.trims));
                        return Handled::unknown;
                    });
                }));
            }
            return Handled::unknown;
        });
        return ok && require(hasSurface, "surface");
    }

    bool readBrep(meshing::Brep& b) {
        return members("brep", [&](std::string_view key) {
            if (key == "edges")
                return result(records([&](size_t) { return readCurve(b.edges.emplace_back()); }));
            if (key == "faces")
                return result(records([&](size_t) { return readFace(b.faces.emplace_back()); }));
            return Handled::unknown;
        });
    }

    bool readSubD(meshing::SubD& sd) {
        bool hasVertices = false, hasCounts = false, hasIndices = false;
        const bool ok = members("subd", [&](std::string_view key) {
            if (key == "vertices")
                return given(hasVertices, numbers(sd.vertices));
            if (key == "faceCounts")
                return given(hasCounts, numbers(sd.faceCounts));
            if (key == "faceVertices")
                return given(hasIndices, numbers(sd.faceVertices));
            if (key == "creases")
                return result(numbers(sd.creases));
            if (key == "corners")
                return result(numbers(sd.corners));
            return Handled::unknown;
        });
        return ok && require(hasVertices, "vertices") && require(hasCounts, "faceCounts") &&
               require(hasIndices, "faceVertices");
    }

    bool readMeshing() {
        EntryScope entry(*this, "meshing");
        meshing::MeshSettings& m = d_.meshSettings;
        double angleDegrees = 0;
        const bool ok = members("meshing", [&](std::string_view key) {
            if (key == "preset")
                return result(word(kMeshPresetWords, m.preset));
            if (key == "tolerance")
                return result(number(m.tolerance, {0, kMax, true}));
            if (key == "angle")
                return result(number(angleDegrees, {0, 90, true}));
            if (key == "subdLevel")
                return result(integer(m.subdLevel, 1, 6));
            return Handled::unknown;
        });
        m.angle = angleDegrees * std::numbers::pi / 180.0;
        return ok;
    }

    bool readBinaryInfo() {
        EntryScope entry(*this, "binary");
        double bytes = -1;
        const bool ok = members("binary", [&](std::string_view key) {
            if (key == "bytes")
                return result(number(bytes, {0, kMax}));
            return Handled::unknown;
        });
        if (!ok)
            return false;
        if (bytes != static_cast<double>(binary_.size)) {
            return fail("the binary companion has " + std::to_string(binary_.size) + " bytes, the document says " +
                        numberText(bytes) + " (truncated or from another conversion)");
        }
        return true;
    }

    // --- entries ---

    bool readMesh(ON_Mesh& mesh) {
        bool hasVertices = false;
        bool hasFaces = false;
        const bool ok = members("mesh", [&](std::string_view key) {
            if (key == "vertices")
                return given(hasVertices, tuples<ON_3fPoint, float, 3>(mesh.m_V, "x y z per vertex"));
            if (key == "faces")
                return given(hasFaces, tuples<ON_MeshFace, int32_t, 4>(mesh.m_F, "a b c d per face"));
            if (key == "normals")
                return result(tuples<ON_3fVector, float, 3>(mesh.m_N, "x y z per vertex"));
            if (key == "faceNormals")
                return result(tuples<ON_3fVector, float, 3>(mesh.m_FN, "x y z per face"));
            if (key == "textureCoordinates")
                return result(tuples<ON_2fPoint, float, 2>(mesh.m_T, "u v per vertex"));
            return Handled::unknown;
        });
        return ok && require(hasVertices, "vertices") && require(hasFaces, "faces");
    }

    bool readTexture(ON_Texture& t) {
        bool hasType = false;
        bool hasPath = false;
        ON_FileReference& file = t.m_image_file_reference;
        const bool ok = members("texture", [&](std::string_view key) {
            if (key == "id")
                return result(uuid(t.m_texture_id));
            if (key == "type")
                return given(hasType, word(kTextureTypeWords, t.m_type));
            if (key == "filePath")
                return given(hasPath, set(file, &ON_FileReference::SetFullPath));
            if (key == "relativePath")
                return set(file, &ON_FileReference::SetRelativePath);
            if (key == "on")
                return result(flag(t.m_bOn));
            if (key == "uvwTransform")
                return result(xform(t.m_uvw));
            if (key == "mappingChannel")
                return result(mappingChannel(t.m_mapping_channel_id));
            if (key == "mode")
                return result(word(kTextureModeWords, t.m_mode));
            if (key == "blendConstant")
                return result(number(t.m_blend_constant_A, {0, 1}));
            return Handled::unknown;
        });
        return ok && require(hasType, "type") && require(hasPath, "filePath");
    }

    bool readMaterialFields(ON_Material& m, std::string_view path) {
        return members(path, [&](std::string_view key) {
            if (key == "diffuse")
                return result(color(m.m_diffuse));
            if (key == "ambient")
                return result(color(m.m_ambient));
            if (key == "emission")
                return result(color(m.m_emission));
            if (key == "specular")
                return result(color(m.m_specular));
            if (key == "reflection")
                return result(color(m.m_reflection));
            if (key == "transparent")
                return result(color(m.m_transparent));
            if (key == "shine")
                return result(number(m.m_shine, {0, ON_Material::MaxShine}));
            if (key == "transparency")
                return result(number(m.m_transparency, {0, 1}));
            if (key == "reflectivity")
                return result(number(m.m_reflectivity, {0, 1}));
            if (key == "indexOfRefraction")
                return result(number(m.m_index_of_refraction, {0, kMax, true}));
            if (key == "renderMaterialInstanceId")
                return set(m, &ON_Material::SetRdkMaterialInstanceId);
            if (key == "textures") {
                return result(records([&](size_t) { return readTexture(m.m_textures.AppendNew()); }));
            }
            return componentField(key, m);
        });
    }

    // At most one texture of each type.
    static std::optional<std::string> textureProblem(const ON_Material& m) {
        for (int i = 0; i < m.m_textures.Count(); ++i) {
            const ON_Texture::TYPE type = m.m_textures[i].m_type;
            for (int j = 0; j < i; ++j) {
                if (m.m_textures[j].m_type == type) {
                    return "textures: two textures of type \"" + std::string(toWord(kTextureTypeWords, type)) + "\"";
                }
            }
        }
        return std::nullopt;
    }

    bool readMaterial(size_t index) {
        EntryScope entry(*this, "material", index);
        ON_Material m;
        if (!readMaterialFields(m, "material"))
            return false;
        if (auto problem = textureProblem(m))
            return refuse(entry.label(m), *problem);
        d_.materials.push_back(std::move(m));
        return true;
    }

    bool readLayer(size_t index) {
        EntryScope entry(*this, "layer", index);
        ON_Layer layer;
        bool hasName = false;
        const bool ok = members("layer", [&](std::string_view key) {
            if (key == "name")
                return given(hasName, set(layer, &ON_Layer::SetName));
            if (key == "parentId")
                return set(layer, &ON_Layer::SetParentLayerId);
            if (key == "visible")
                return set(layer, &ON_Layer::SetVisible);
            if (key == "locked")
                return set(layer, &ON_Layer::SetLocked);
            if (key == "materialIndex")
                return set(layer, &ON_Layer::SetRenderMaterialIndex, -1, kInt32Max);
            if (key == "color")
                return set(layer, &ON_Layer::SetColor);
            return componentField(key, layer);
        });
        if (!ok)
            return false;
        if (!hasName)
            return refuse(entry.label(layer), missingField("name"));
        if (layer.Name().IsEmpty())
            return refuse(entry.label(layer), "name: a layer name must not be empty");
        d_.layers.push_back(std::move(layer));
        return true;
    }

    bool readRenderContent(size_t index) {
        EntryScope entry(*this, "render content", index);
        RenderContentData rc;
        const bool ok = members("renderContent", [&](std::string_view key) {
            if (key == "id")
                return result(uuid(rc.id));
            if (key == "typeId")
                return result(uuid(rc.typeId));
            if (key == "name")
                return result(string(rc.name));
            return Handled::unknown;
        });
        if (!ok)
            return false;
        if (ON_UuidIsNil(rc.id))
            return refuse(entry.label(rc.name, rc.id), "id: required and not nil");
        if (ON_UuidIsNil(rc.typeId))
            return refuse(entry.label(rc.name, rc.id), "typeId: required and not nil");
        d_.renderContents.push_back(std::move(rc));
        return true;
    }

    // What a mapping must carry, and its normal transformation when the file left it out.
    static std::optional<std::string> completeMapping(ON_TextureMapping& m, bool hasType, bool hasNormal) {
        if (m.IdIsNil())
            return "id: required and not nil";
        if (!hasType)
            return missingField("type");
        if (hasNormal)
            return std::nullopt;
        // Normals map with the inverse transpose of the point transformation.
        ON_Xform n = m.m_Pxyz;
        if (!n.Invert())
            return "pointTransform cannot be inverted; give normalTransform";
        n.Transpose();
        m.m_Nxyz = n;
        return std::nullopt;
    }

    bool readMapping(size_t index) {
        EntryScope entry(*this, "texture mapping", index);
        ON_TextureMapping m;
        bool hasType = false;
        bool hasNormal = false;
        const bool ok = members("textureMapping", [&](std::string_view key) {
            if (key == "type")
                return given(hasType, word(kMappingTypeWords, m.m_type));
            if (key == "projection")
                return result(word(kProjectionWords, m.m_projection));
            if (key == "textureSpace")
                return result(word(kTextureSpaceWords, m.m_texture_space));
            if (key == "capped")
                return result(flag(m.m_bCapped));
            if (key == "pointTransform")
                return result(xform(m.m_Pxyz));
            if (key == "normalTransform")
                return given(hasNormal, xform(m.m_Nxyz));
            if (key == "uvwTransform")
                return result(xform(m.m_uvw));
            return componentField(key, m);
        });
        if (!ok)
            return false;
        if (auto problem = completeMapping(m, hasType, hasNormal))
            return refuse(entry.label(m), *problem);
        d_.textureMappings.push_back(std::move(m));
        return true;
    }

    struct BitmapImage {
        int width = 0;
        int height = 0;
        int bpp = 0;
        std::optional<std::vector<uint8_t>> pixels;
    };

    // Sizes are compared before anything is allocated, so a file cannot make the reader
    // allocate more than it holds.
    static std::optional<std::string> createImage(ON_Bitmap& bitmap, BitmapImage& image) {
        const int width = image.width;
        const int height = image.height;
        const int bpp = image.bpp;
        if (width == 0 || height == 0 || bpp == 0 || !image.pixels) {
            return "width, height (not 0), bitsPerPixel and pixels are required";
        }
        const uint64_t scan = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bpp) + 31) / 32 * 4;
        const uint64_t expected = scan * static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
        if (image.pixels->size() != expected) {
            return "pixels: " + std::to_string(image.pixels->size()) + " bytes, " + std::to_string(expected) +
                   " expected (rows padded to 4 bytes)";
        }
        if (!bitmap.Create(width, height, bpp) || !bitmap.SetBits(std::move(*image.pixels))) {
            return "cannot hold a " + std::to_string(width) + " x " + std::to_string(height) + " image of " +
                   std::to_string(bpp) + " bits per pixel (1, 4, 8, 16, 24 or 32 bits)";
        }
        return std::nullopt;
    }

    Handled readPixels(std::optional<std::vector<uint8_t>>& pixels) {
        std::string text;
        if (!string(text))
            return Handled::failed;
        pixels = decodeBase64(text);
        return pixels ? Handled::ok : result(fail("not valid base64"));
    }

    bool readBitmap(size_t index) {
        EntryScope entry(*this, "bitmap", index);
        ON_Bitmap bitmap;
        BitmapImage image;
        const bool ok = members("bitmap", [&](std::string_view key) {
            if (key == "filePath")
                return set(bitmap.m_file_reference, &ON_FileReference::SetFullPath);
            if (key == "width")
                return result(integer(image.width, 1, 65536));
            if (key == "height")
                return result(integer(image.height, -65536, 65536));
            if (key == "bitsPerPixel")
                return result(integer(image.bpp, 1, 32));
            if (key == "pixels")
                return readPixels(image.pixels);
            return componentField(key, bitmap);
        });
        if (!ok)
            return false;
        if (auto problem = createImage(bitmap, image))
            return refuse(entry.label(bitmap), *problem);
        d_.bitmaps.push_back(std::move(bitmap));
        return true;
    }

    bool readDefinition(size_t index) {
        EntryScope entry(*this, "instance definition", index);
        InstanceDefinitionData def;
        const bool ok = members("instanceDefinition", [&](std::string_view key) {
            if (key == "description")
                return set(def.definition, &ON_InstanceDefinition::SetDescription);
            if (key == "objects")
                return result(elements([&](size_t) { return uuid(def.members.emplace_back()); }));
            return componentField(key, def.definition);
        });
        if (!ok)
            return false;
        if (def.definition.IdIsNil())
            return refuse(entry.label(def.definition), "id: required and not nil");
        d_.definitions.push_back(std::move(def));
        return true;
    }

    bool readChannel(ON_MappingChannel& ch) {
        bool hasChannel = false;
        bool hasMapping = false;
        const bool ok = members("mappingChannel", [&](std::string_view key) {
            if (key == "channel")
                return given(hasChannel, integer(ch.m_mapping_channel_id, kInt32Min, kInt32Max));
            if (key == "mappingId")
                return given(hasMapping, uuid(ch.m_mapping_id));
            if (key == "objectTransform")
                return result(xform(ch.m_object_xform));
            return Handled::unknown;
        });
        if (!ok)
            return false;
        return (hasChannel && hasMapping) || fail("a channel needs \"channel\" and \"mappingId\"");
    }

    bool readChannels(ON_MappingRef& ref) {
        return records([&](size_t) {
            ON_MappingChannel ch;
            if (!readChannel(ch))
                return false;
            if (ref.MappingChannel(ch.m_mapping_channel_id)) {
                return fail("channel " + std::to_string(ch.m_mapping_channel_id) + " appears twice");
            }
            ref.m_mapping_channels.Append(ch);
            return true;
        });
    }

    bool readMappingRef(ON_MappingRef& ref) {
        bool hasPlugin = false;
        const bool ok = members("mappingRef", [&](std::string_view key) {
            if (key == "pluginId")
                return given(hasPlugin, uuid(ref.m_plugin_id));
            if (key == "channels")
                return result(readChannels(ref));
            return Handled::unknown;
        });
        return ok && require(hasPlugin, "pluginId");
    }

    bool readMappingRefs(ON_ObjectRenderingAttributes& rendering) {
        return records([&](size_t) {
            ON_MappingRef ref;
            if (!readMappingRef(ref))
                return false;
            if (rendering.MappingRef(ref.m_plugin_id))
                return fail("two mapping references for one plug-in id");
            rendering.m_mappings.Append(ref);
            return true;
        });
    }

    bool readAttributes(ON_3dmObjectAttributes& a) {
        using Attributes = ON_3dmObjectAttributes;
        return members("object.attributes", [&](std::string_view key) {
            if (key == "layer")
                return result(integer(a.m_layer_index, 0, kInt32Max));
            if (key == "materialIndex")
                return result(integer(a.m_material_index, -1, kInt32Max));
            if (key == "materialSource")
                return set(a, &Attributes::SetMaterialSource, kMaterialSourceWords);
            if (key == "visible")
                return set(a, &Attributes::SetVisible);
            if (key == "mode")
                return set(a, &Attributes::SetMode, kModeWords);
            if (key == "mappings")
                return result(readMappingRefs(a.m_rendering_attributes));
            return Handled::unknown;
        });
    }

    bool readInstance(ObjectData& o) {
        bool hasDefinition = false;
        const bool ok = members("object.instance", [&](std::string_view key) {
            if (key == "definition")
                return given(hasDefinition, uuid(o.definitionId));
            if (key == "transform")
                return result(xform(o.instanceXform));
            return Handled::unknown;
        });
        if (!ok || !require(hasDefinition, "definition"))
            return false;
        o.isInstance = true;
        return true;
    }

    bool readObjectMembers(ObjectData& o, bool& hasType) {
        return members("object", [&](std::string_view key) {
            if (key == "id")
                return result(uuid(o.attributes.m_uuid));
            if (key == "name")
                return result(string(o.attributes.m_name));
            if (key == "type")
                return given(hasType, word(kObjectTypeWords, o.type));
            if (key == "class") {
                std::string ignored;
                return result(string(ignored));
            }
            if (key == "attributes")
                return result(readAttributes(o.attributes));
            if (key == "mesh") {
                o.mesh = std::make_shared<ON_Mesh>();
                return result(readMesh(*o.mesh));
            }
            if (key == "renderMeshes") {
                return result(records(
                    [&](size_t) { return readMesh(*o.renderMeshes.emplace_back(std::make_shared<ON_Mesh>())); }));
            }
            if (key == "instance")
                return result(readInstance(o));
            if (key == "brep") {
                auto brep = std::make_shared<meshing::Brep>();
                const bool read = readBrep(*brep);
                o.brep = std::move(brep);
                return result(read);
            }
            if (key == "subd") {
                auto subd = std::make_shared<meshing::SubD>();
                const bool read = readSubD(*subd);
                o.subd = std::move(subd);
                return result(read);
            }
            return Handled::unknown;
        });
    }

    // What one object must and must not carry, given its type.
    static std::optional<std::string> objectShapeProblem(const ObjectData& o, bool hasType) {
        if (!hasType)
            return missingField("type");
        if (ON_UuidIsNil(o.attributes.m_uuid))
            return "id: required and not nil";
        const bool isMesh = o.type == ON::mesh_object;
        const bool isReference = o.type == ON::instance_reference;
        if (isMesh && !o.mesh)
            return "a mesh object needs \"mesh\"";
        if (!isMesh && o.mesh)
            return "\"mesh\" is only for mesh objects (use \"renderMeshes\")";
        if (!o.renderMeshes.empty() && (isMesh || isReference)) {
            return "\"renderMeshes\" are not for mesh objects or instance references";
        }
        const bool surfaceLike = o.type == ON::brep_object || o.type == ON::extrusion_object;
        if (o.brep && !surfaceLike)
            return "\"brep\" is only for breps and extrusions";
        if (o.subd && o.type != ON::subd_object)
            return "\"subd\" is only for SubD objects";
        if (isReference != o.isInstance) {
            return isReference ? "an instance reference needs \"instance\""
                               : "\"instance\" is only for instance references";
        }
        return std::nullopt;
    }

    // The object's meshes, checked once they are complete.
    static std::optional<std::string> objectMeshProblem(const ObjectData& o) {
        if (o.brep) {
            if (auto problem = meshing::checkBrep(*o.brep))
                return "brep: " + *problem;
        }
        if (o.subd) {
            if (auto problem = meshing::checkSubD(*o.subd))
                return "subd: " + *problem;
        }
        if (o.mesh) {
            if (auto problem = checkMesh(*o.mesh))
                return "mesh: " + *problem;
        }
        for (size_t i = 0; i < o.renderMeshes.size(); ++i) {
            if (auto problem = checkMesh(*o.renderMeshes[i])) {
                return "render mesh " + std::to_string(i) + ": " + *problem;
            }
        }
        return std::nullopt;
    }

    bool readObject(size_t index) {
        EntryScope entry(*this, "object", index);
        ObjectData o;
        bool hasType = false;
        if (!readObjectMembers(o, hasType))
            return false;
        auto problem = objectShapeProblem(o, hasType);
        if (!problem)
            problem = objectMeshProblem(o);
        if (problem)
            return refuse(entry.label(o.attributes.m_name, o.attributes.m_uuid), *problem);
        d_.objects.push_back(std::move(o));
        return true;
    }

    struct Camera {
        ON::view_projection projection = ON::perspective_view;
        double location[3] = {};
        double direction[3] = {};
        double up[3] = {};
        double target[3] = {};
        double frustum[6] = {};
        int32_t port[4] = {0, 1000, 600, 0};
        bool hasLocation = false, hasDirection = false, hasUp = false, hasTarget = false, hasFrustum = false;
    };

    static std::optional<std::string> applyCamera(const Camera& c, ON_Viewport& vp) {
        if (!c.hasLocation || !c.hasDirection || !c.hasUp || !c.hasFrustum) {
            return "cameraLocation, cameraDirection, cameraUp and frustum are required";
        }
        const ON_3dPoint location(c.location[0], c.location[1], c.location[2]);
        const ON_3dVector direction(c.direction[0], c.direction[1], c.direction[2]);
        const ON_3dVector up(c.up[0], c.up[1], c.up[2]);
        const ON_3dPoint target =
            c.hasTarget ? ON_3dPoint(c.target[0], c.target[1], c.target[2]) : location + direction;
        vp.SetProjection(c.projection);
        if (!vp.SetCameraLocation(location) || !vp.SetTargetPoint(target))
            return "camera numbers out of range";
        if (!vp.SetCameraDirection(direction))
            return "cameraDirection: must not be zero";
        if (!vp.SetCameraUp(up) || !vp.IsValidCamera())
            return "cameraUp: must not be zero or parallel to the direction";
        const double* f = c.frustum;
        if (!vp.SetFrustum(f[0], f[1], f[2], f[3], f[4], f[5])) {
            return c.projection == ON::perspective_view ? "frustum: needs left < right, bottom < top and 0 < near < far"
                                                        : "frustum: needs left < right, bottom < top and near < far";
        }
        if (!vp.SetScreenPort(c.port[0], c.port[1], c.port[2], c.port[3])) {
            return "screenPort: left and right, bottom and top must differ";
        }
        return std::nullopt;
    }

    bool readView(size_t index) {
        EntryScope entry(*this, "view", index);
        ViewData view;
        Camera cam;
        const bool ok = members("view", [&](std::string_view key) {
            if (key == "name")
                return result(string(view.name));
            if (key == "projection")
                return result(word(kViewProjectionWords, cam.projection));
            if (key == "cameraLocation")
                return given(cam.hasLocation, point(cam.location));
            if (key == "cameraDirection")
                return given(cam.hasDirection, point(cam.direction));
            if (key == "cameraUp")
                return given(cam.hasUp, point(cam.up));
            if (key == "target")
                return given(cam.hasTarget, point(cam.target));
            if (key == "frustum") {
                return given(cam.hasFrustum, fixedNumbers(cam.frustum, 6, "[left, right, bottom, top, near, far]"));
            }
            if (key == "screenPort")
                return result(fixedNumbers(cam.port, 4, "[left, right, bottom, top]"));
            return Handled::unknown;
        });
        if (!ok)
            return false;
        if (auto problem = applyCamera(cam, view.viewport)) {
            return refuse(entry.label(view.name, ON_nil_uuid), *problem);
        }
        d_.views.push_back(std::move(view));
        return true;
    }

    bool readUnits() {
        EntryScope entry(*this, "units");
        return members("units", [&](std::string_view key) {
            if (key == "length")
                return result(word(kUnitWords, d_.units));
            double ignored = 0;
            // The absolute tolerance bounds the host's meshes; the others are checked, not kept.
            if (key == "absoluteTolerance")
                return result(number(d_.absoluteTolerance, {0, kMax, true}));
            if (key == "angleTolerance")
                return result(number(ignored, {0, kMax, true}));
            if (key == "relativeTolerance")
                return result(number(ignored, {0, kMax}));
            return Handled::unknown;
        });
    }

    bool readAppSettings() {
        EntryScope entry(*this, "appSettings");
        AppSettingsData& s = d_.appSettings;
        return members("appSettings", [&](std::string_view key) {
            if (key == "defaultMaterial") {
                return result(readMaterialFields(s.defaultMaterial.emplace(), "appSettings.defaultMaterial"));
            }
            if (key == "autoSaveFile")
                return result(string(s.autoSaveFile.emplace()));
            if (key == "autoSaveEnabled")
                return result(flag(s.autoSaveEnabled.emplace()));
            if (key == "searchPaths") {
                auto& paths = s.searchPaths.emplace();
                return result(elements([&](size_t) { return string(paths.emplace_back()); }));
            }
            return Handled::unknown;
        });
    }

    Handled readFormat(bool& has) {
        has = true;
        std::string text;
        if (!string(text))
            return Handled::failed;
        if (text == kFormatName)
            return Handled::ok;
        return result(
            fail("\"" + text.substr(0, 40) + "\" is not a vantro document (\"" + std::string(kFormatName) + "\")"));
    }

    Handled readVersion(bool& has) {
        has = true;
        int64_t version = 0;
        if (!check(c_.readInt64(version)))
            return Handled::failed;
        if (version == kFormatVersion)
            return Handled::ok;
        if (version > kFormatVersion) {
            return result(fail("version " + std::to_string(version) +
                               " was written by a newer program (this one reads " + std::to_string(kFormatVersion) +
                               ")"));
        }
        return result(fail("version " + std::to_string(version) + " does not exist"));
    }

    bool readRoot() {
        bool hasFormat = false;
        bool hasVersion = false;
        bool hasBinary = false;
        const bool ok = members("document", [&](std::string_view key) {
            if (key == "format")
                return readFormat(hasFormat);
            if (key == "version")
                return readVersion(hasVersion);
            if (key == "units")
                return result(readUnits());
            if (key == "layers")
                return result(elements([&](size_t i) { return readLayer(i); }));
            if (key == "materials")
                return result(elements([&](size_t i) { return readMaterial(i); }));
            if (key == "renderContents")
                return result(elements([&](size_t i) { return readRenderContent(i); }));
            if (key == "textureMappings")
                return result(elements([&](size_t i) { return readMapping(i); }));
            if (key == "bitmaps")
                return result(elements([&](size_t i) { return readBitmap(i); }));
            if (key == "instanceDefinitions")
                return result(elements([&](size_t i) { return readDefinition(i); }));
            if (key == "objects")
                return result(elements([&](size_t i) { return readObject(i); }));
            if (key == "views")
                return result(elements([&](size_t i) { return readView(i); }));
            if (key == "activeView")
                return result(integer(d_.activeView, -1, kInt32Max));
            if (key == "appSettings")
                return result(readAppSettings());
            if (key == "source")
                return result(check(c_.skipValue()));
            if (key == "meshing")
                return result(readMeshing());
            if (key == "binary") {
                hasBinary = true;
                return result(readBinaryInfo());
            }
            if (key == "warnings") {
                return result(elements([&](size_t) { return string(d_.fileWarnings.emplace_back()); }));
            }
            return Handled::unknown;
        });
        if (!ok)
            return false;
        if (!hasFormat)
            return refuse("document", "missing \"format\": not a vantro document");
        if (!hasVersion)
            return refuse("document", missingField("version"));
        if (!hasBinary && binary_.size > 0)
            return refuse("document", "a binary companion was given but the document names none");
        return true;
    }

    JsonCursor c_;
    DocumentData& d_;
    std::string entry_;
    std::string field_;
    std::string errorEntry_;
    std::string errorField_;
    bool contextSaved_ = false;
    std::string semantic_;
    const BinarySource& binary_;
    std::vector<std::string> warnings_;
    std::set<std::string> unknownSeen_;
};

}  // namespace

std::string entryLabel(std::string_view kind, size_t index, const ON_wString& name, const ON_UUID& id) {
    std::string label = std::string(kind) + " " + std::to_string(index);
    if (name.IsNotEmpty()) {
        std::string quoted = name.ToUtf8();
        if (quoted.size() > 80)
            quoted = quoted.substr(0, 77) + "...";
        label += " \"" + quoted + "\"";
    }
    if (ON_UuidIsNotNil(id))
        label += " (" + ON_UuidToString(id).ToUtf8() + ")";
    return label;
}

BinarySource binaryInMemory(std::string_view bytes) {
    if (bytes.empty())
        return {};
    return {bytes.size(), [bytes](uint64_t offset, size_t n, void* into) {
                std::memcpy(into, bytes.data() + offset, n);
                return true;
            }};
}

ParseOutcome parseDocument(std::string_view text, DocumentData& out, const BinarySource& binary) {
    return Parser(text, out, binary).run();
}

ParseOutcome parseDocument(std::string_view text, DocumentData& out, std::string_view binary) {
    return parseDocument(text, out, binaryInMemory(binary));
}

}  // namespace vantro::docio
