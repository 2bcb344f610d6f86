// The system's reasons for a failed file operation, in Russian, as the program speaks.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace kelvak {

// The reason an errno value names, in Russian. A value without a Russian text of ours is named by
// its number with the system's own words beside it.
inline std::string systemReason(int err) {
  switch (err) {
    case ENOENT:
      return "нет такого файла или папки";
    case ENOTDIR:
      return "часть пути — не папка";
    case EISDIR:
      return "это папка";
    case EACCES:
    case EPERM:
      return "нет доступа";
    case EROFS:
      return "файловая система только для чтения";
    case ENOSPC:
      return "на диске нет места";
#ifdef EDQUOT  // Windows has no disk quota errno
    case EDQUOT:
      return "превышена дисковая квота";
#endif
    case ENAMETOOLONG:
      return "слишком длинное имя";
    case ELOOP:
      return "слишком много символических ссылок";
    case EEXIST:
      return "файл уже существует";
    case EMFILE:
    case ENFILE:
      return "открыто слишком много файлов";
    case EIO:
      return "ошибка ввода-вывода";
    case EFBIG:
      return "файл слишком велик";
    case EBUSY:
      return "файл занят";
    case ETXTBSY:
      return "файл занят программой";
    case ENOMEM:
      return "недостаточно памяти";
    default:
      return "системная ошибка " + std::to_string(err) + " (" + std::strerror(err) + ")";
  }
}

}  // namespace kelvak
