#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumenor {

// A file that appears complete or not at all. The bytes go to a temporary file in the target's
// folder (unnamed until Commit() where Linux allows it); Commit() flushes it to disk and renames
// it over the target. Until then the target is untouched, and any failure, or destruction
// without Commit(), removes the temporary.
//
//   SaveFile file(output, input);
//   file.Write(bytes); ...
//   if (!file.Commit()) report(file.Error());
//
// Refused before anything is written: a target that is a folder, one that is the file at
// protectedPath (the picture being converted) however it is named, through symbolic or hard
// links, and an existing target that is not writable. A target that is a symbolic link is
// replaced where it points, so the link stays; or, when links are refused, the target is refused
// too, and the file is renamed over the name itself, never through a link put there meanwhile.
// After the first failure every call does nothing and returns false; Error() says in one line
// which file and why.
class SaveFile {
 public:
  // What a symbolic link found at the target's name means: the file asked for (a name the user
  // typed), or a file nobody asked for (an output name the program made up).
  enum class Links { kFollow, kRefuse };

  explicit SaveFile(const std::string& path, const std::string& protectedPath = {},
                    Links links = Links::kFollow);
  ~SaveFile();
  SaveFile(const SaveFile&) = delete;
  SaveFile& operator=(const SaveFile&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  // The name the caller gave.
  const std::string& Path() const { return path_; }

  bool Write(std::span<const std::uint8_t> bytes);
  bool Write(const std::string& text);
  bool Commit();
  // Gives up: the temporary goes, and Error() says why (the first failure, if there was one).
  void Abandon(const std::string& why);

 private:
  bool Fail(const std::string& why);
  bool FailWithErrno(const std::string& what);
  void CreateNamed();
  bool NameTemporary();
  bool Flush();
  void RemoveTemporary();

  std::string path_;
  std::string target_;     // where the file goes: path_, or what a symbolic link there points at
  std::string temporary_;  // the temporary's name while it has one
  int fd_ = -1;
  std::vector<std::uint8_t> buffer_;
  std::string error_;
};

}  // namespace lumenor
