#pragma once
// The look-up tables of the material manager: open addressing over one
// flat array (hopscotch hashing), so that a look-up reads one or two neighbouring cache
// lines instead of following a chain of nodes scattered over the heap. At tens of
// thousands of materials the node-based tables missed the cache on nearly every probe,
// which made a load grow faster than the materials loaded.
//
// Private to src/materials: the hashing library stays out of the public headers.

#include <cstdint>
#include <type_traits>
#include <utility>

#include <tsl/hopscotch_map.h>
#include <tsl/hopscotch_set.h>

namespace vantro::materials {

// Every input bit moved into the low bits (the finaliser of MurmurHash3), for keys that
// are already hashes of something else (a name key with a render CRC) and must not
// crowd where a flat table looks: it picks the bucket from the low bits alone.
constexpr uint64_t MixBits(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    x ^= x >> 33;
    return x;
}

// For keys that count up as they are made: record ids, runtime serial numbers and
// records from the manager's pool (whose addresses grow with them). Kept as they are, a
// load's keys fall into neighbouring buckets one after the other, so a load walks each
// table front to back instead of missing the cache at every key, and a reload frees the
// records in the order they were made; mixed, a load of 50,000 materials took half as
// long again. The steps between such keys are small (other objects
// made in between), well within a neighbourhood, so they do not crowd either. A
// pointer counts in objects, not bytes: records made one after the other in the pool
// then fall into neighbouring buckets, where counted in 16-byte steps they fell a
// 368-byte record apart and every insert touched another cache line of the table.
struct CountingHash {
    template <class T>
    requires std::is_integral_v<T> size_t operator()(T value) const { return size_t(uint64_t(value)); }
    template <class T>
    size_t operator()(const T* pointer) const {
        return size_t(uint64_t(reinterpret_cast<uintptr_t>(pointer)) / sizeof(T));
    }
};

template <class Key, class Value, class Hash = CountingHash>
using FlatMap = tsl::hopscotch_map<Key, Value, Hash>;
template <class Key, class Hash = CountingHash>
using FlatSet = tsl::hopscotch_set<Key, Hash>;

}  // namespace vantro::materials
