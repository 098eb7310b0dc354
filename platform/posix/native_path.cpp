#include "platform/posix/native_path.h"

#include "platform/posix/utf.h"

namespace platform::posix {

bool HasDrivePrefix(std::u16string_view name) {
  return name.size() >= 2 && name[1] == u':' &&
         ((name[0] >= u'A' && name[0] <= u'Z') || (name[0] >= u'a' && name[0] <= u'z'));
}

std::string NativePath(const char16_t* name) {
  if (!name) return std::string();
  std::u16string_view view(name);
  if (HasDrivePrefix(view)) view.remove_prefix(2);
  std::string path = ToUtf8(view);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

}  // namespace platform::posix
