#include "cli/platform_text.h"

namespace driver {

const char* const kOpenHelp =
    "open the page in the default browser, through a page only you can read (in your local application-data "
    "folder)";

const char* const kEnvironmentHelp = R"(  TMP, TEMP        the temporary folder (TMP, else TEMP), for the folder of a
                   run's own that stands in for standard input and output
)";

}  // namespace driver
