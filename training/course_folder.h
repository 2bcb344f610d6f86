// What the course file does the system's own way: course_folder_posix.cpp, course_folder_win32.cpp.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kelvak {

// The course folder's lock, which one copy of the program holds while it changes the course file
// (the file itself is replaced by each save, and a lock on it would stay with the file replaced).
// Taken without waiting and tried again for up to `waitMs`; released when this ends.
class CourseFolderLock {
 public:
  // Throws KelvakError "<failure>: <reason>" when the folder cannot be opened.
  CourseFolderLock(const std::string& folder, int waitMs, const char* failure);
  ~CourseFolderLock();
  CourseFolderLock(const CourseFolderLock&) = delete;
  CourseFolderLock& operator=(const CourseFolderLock&) = delete;

  // False when another copy of the program still holds it.
  bool locked() const { return locked_; }

 private:
  std::intptr_t handle_ = -1;
  bool locked_ = false;
};

// Gives the file at `path` the second name `kept` without replacing anything that stands there: a
// hard link where the file system has them, else the file itself moves. 0, or the errno (EEXIST:
// the name is taken).
int keepUnderSecondName(const std::string& path, const std::string& kept);

// `t` in local time as "20261210-145501".
std::string localStamp(std::time_t t);

}  // namespace kelvak
