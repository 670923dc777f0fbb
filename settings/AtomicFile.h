#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrin {

// What reading a small regular file gave: its bytes, or that it is not there, or that it is there
// but cannot be used (a directory, a device, unreadable, or too large for a settings file).
struct FileRead {
    enum class Outcome { Read, Missing, Unreadable };
    Outcome outcome = Outcome::Missing;
    std::string bytes;
};

inline constexpr std::uintmax_t kMaxSmallFileBytes = 1 << 20;

FileRead ReadSmallFile(const std::filesystem::path& file);

// Replaces the file's contents all or nothing: writes a temporary file beside it, flushes it to
// the disk and renames it over the old one, which keeps its permissions and owner; a symbolic
// link stays a link and its target is replaced, or created when the link dangles. Refuses, and
// leaves the file alone, when the file exists but this user may not write it (root may), or when
// its owner cannot be kept. On failure the old file is as it was and no temporary is left. Does
// not create missing directories.
[[nodiscard]] bool ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Makes a write past the file size limit (RLIMIT_FSIZE, as under a quota) fail with EFBIG like
// any other failed write, instead of ending the process with SIGXFSZ. Process-wide: the program
// calls it before anything writes, libraries' caches included.
void LetWritesPastTheSizeLimitFail();

} // namespace kestrin
