// RunView for a build without the HTTP library.
#include <iostream>

#include "view/view_command.h"

namespace driver {

int RunView(const ViewOptions&) {
    std::cerr << "morvane-host: view: this build has no viewer: it was built without cpp-httplib (Debian package "
                 "libcpp-httplib-dev)\n";
    return 1;
}

}  // namespace driver
