// What rangeloom-register prints: the table of scans with their fit before
// and after and how far each moved, and the warnings about scans that could
// not be registered.
#pragma once

#include <string>
#include <vector>

#include "registration/registration.h"

// The summary line and one row per scan (names: the scans' files as named in
// the configuration), columns aligned.
std::string formatRegistrationReport(const std::string& config,
                                     const std::vector<std::string>& names,
                                     const registration::RegistrationResult& result);

// One line per scan left where it was for want of overlap, and one when the
// iterations ran out before the poses settled; each without a line end.
std::vector<std::string> registrationWarnings(const std::vector<std::string>& names,
                                              const registration::RegistrationResult& result);

// The comment line written first into the refined configuration.
std::string registrationHeader(const std::string& fixedName);
