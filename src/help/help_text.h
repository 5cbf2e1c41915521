// The fixed texts of the two help screens, lines ended by CR LF.
#pragma once

#include <string>

namespace qelvar::help {

// The oscillator panel's help ("Qelvar HELP").
std::string mainHelpText();
// The construction page's help ("Tessaly Help").
std::string pageHelpText();

} // namespace qelvar::help
