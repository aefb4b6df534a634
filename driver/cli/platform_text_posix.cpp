#include "cli/platform_text.h"

namespace driver {

const char* const kOpenHelp = "open the page in the browser (xdg-open, or $BROWSER), through a page only you can read";

const char* const kEnvironmentHelp = R"(  BROWSER          the program that view --open starts (else xdg-open)
  TMPDIR           the temporary folder, for the folder of a run's own that
                   stands in for standard input and output (else /tmp)
  XDG_RUNTIME_DIR  where view writes the page that opens the viewer,
                   readable by its user alone (else the temporary folder)
)";

}  // namespace driver
