// The data directory and safe replacement of files in it.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace qelvar {

// $HOME/Qelvarfiles (the current folder's Qelvarfiles when HOME is unset).
std::string dataDir();

// Full path of a file in the data directory.
std::string dataPath(std::string_view name);

// Creates the data directory; an existing one is fine. False on failure.
bool ensureDataDir();

// True when a file can be created in `dir` (one is made and removed at
// once). Permission bits alone say nothing when running as root, and a
// data folder that is really a file fails this too.
bool dirWritable(const std::string& dir);

// The status line of a window whose folder cannot take files: empty while
// `dir` is writable, else "Cannot write to DIR".
std::string writeProblem(const std::string& dir);

// Removes the temporary files (".NAME.XXXXXX") that saves killed half-way
// left in `dir`, when untouched for longer than `age`; a save under way
// keeps touching its file. Returns how many went.
int removeStaleTemporaries(const std::string& dir,
                           std::chrono::seconds age = std::chrono::seconds(60));

// Replaces `path` by `bytes`: a temporary file in the same folder is
// written, then renamed over the old one, so a reader (or a crash) sees the
// old file or the new one, never a torn one. With `durable` the data is
// synced before the rename (set-up files); step files skip the sync for
// speed. False when any step fails; the old file is then untouched.
bool replaceFile(const std::string& path, std::span<const unsigned char> bytes,
                 bool durable = false);
bool replaceFile(const std::string& path, std::string_view bytes, bool durable = false);
// The same for contents written as they come: `write` gets the temporary
// file's descriptor and says whether every byte went in.
bool replaceFileBy(const std::string& path, const std::function<bool(int fd)>& write,
                   bool durable = false);
// Writes all `n` bytes to `fd`, going on after interruptions.
bool writeFully(int fd, const void* bytes, std::size_t n);

// Rewrites `path` in place and cuts it to size: for files that can always be
// made again and are never read while written (the step and pulse files).
// Replacing by rename, or truncating to zero first, makes the file system
// flush each file, about a millisecond apiece. False on any failure.
bool overwriteFile(const std::string& path, std::span<const unsigned char> bytes);

} // namespace qelvar
