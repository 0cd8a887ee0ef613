// Files and folders. Paths are UTF-8; "\" is accepted as a separator wherever a path is taken.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace zeph::fs {

// "\" to "/", and nothing else.
std::string toNative(const std::string& path);
std::string withTrailingSlash(const std::string& path);     // "" stays ""
std::string withoutTrailingSlash(const std::string& path);  // "/" stays "/"
std::string fileName(const std::string& path);   // part after the last separator
std::string folderOf(const std::string& path);   // up to and including the last separator
std::string extension(const std::string& path);  // ".di8", "" when none
std::string join(const std::string& folder, const std::string& name);

bool exists(const std::string& path);
bool isDirectory(const std::string& path);
bool isFile(const std::string& path);
std::optional<uint64_t> fileSize(const std::string& path);
std::optional<std::time_t> modificationTime(const std::string& path);
bool setModificationTime(const std::string& path, std::time_t when);
bool isReadOnly(const std::string& path);
bool setReadOnly(const std::string& path, bool readOnly);

// Windows wildcard match ("*", "?"); "*.*" matches every name. Case-insensitive unless asked.
bool matchMask(const std::string& name, const std::string& mask, bool caseSensitive = false);

struct DirEntry {
    std::string name;
    bool directory = false;
};
// The entries of a folder matching the mask, "." and ".." excluded, sorted by name (the order
// the listing gives on this platform). Empty when the folder cannot be read.
std::vector<DirEntry> list(const std::string& folder, const std::string& mask = "*",
                           bool caseSensitive = false);

// ForceDirectories: the folder and every missing parent. True when it exists afterwards.
bool createDirectories(const std::string& path);
// Rename, falling back to copy and delete across file systems. Fails when the target exists
// unless replace is set.
bool moveFile(const std::string& from, const std::string& to, bool replace = false);
// CopyFile: fails when the target exists and failIfExists is set. Written through a temporary
// file in the target folder, so a target is never seen half-written.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists);
bool removeFile(const std::string& path);
bool removeDirectory(const std::string& path);  // an empty folder
bool removeTree(const std::string& path);

// Free bytes available to the user on the file system holding the path; nullopt on failure.
std::optional<uint64_t> freeBytes(const std::string& path);
// The mount point of the file system holding the path (stands in for a drive).
std::string mountPoint(const std::string& path);

// A new empty file "<folder>/<prefix>XXXXXX" that no one else has; its path, or "" on failure.
std::string makeTempFile(const std::string& folder, const std::string& prefix);

bool readFile(const std::string& path, std::string& out);
bool writeFile(const std::string& path, const std::string& data);  // atomically, via temp + rename

}  // namespace zeph::fs
