#include "ui/watch_services.h"

#include "platform/path_syntax.h"

namespace tarnwell {

WatchServices::WatchServices()
    : text_(MakeSystemText()),
      files_(MakeFileQueries()),
      regional_(ReadRegionalSettings()),
      batch_{*text_, *files_, NativePathSyntax(), regional_, &LocalNow} {}

}  // namespace tarnwell
