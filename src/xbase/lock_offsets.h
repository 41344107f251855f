#pragma once

#include <cstdint>

namespace xbase::lock_offsets {

// dBASE IV byte-range lock scheme, shared with other dBASE-compatible engines
// that lock the same files on Windows. Locks sit far beyond the data.
constexpr std::uint64_t kHeader = 0xEFFFFFFEull;
constexpr std::uint64_t kAppend = 0xEFFFFFFFull;
constexpr std::uint64_t record(std::uint32_t recNo) {
    return kHeader - recNo;
}
// Whole-file lock covering every record byte and the header byte.
constexpr std::uint64_t kFileStart = kHeader - 1000000000ull;
constexpr std::uint64_t kFileLength = 1000000000ull + 2;
// Index update lock, on the index file.
constexpr std::uint64_t kIndexUpdate = 0xEFFFFFFEull;

// Our own sentinel for shared/exclusive opens on systems without share modes:
// far above every xBase scheme.
constexpr std::uint64_t kOpenSentinel = 0x7FFFFFFF00000000ull;
// Serialises recovery of an interrupted pack between processes.
constexpr std::uint64_t kRecoverySentinel = kOpenSentinel + 1;

} // namespace xbase::lock_offsets
