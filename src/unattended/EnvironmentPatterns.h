// The environments an unattended build takes: row names matched against patterns with "*" (any
// run of characters) and "?" (one character), without regard to case, as Windows matches file
// names; the pattern "all" takes every row.
#pragma once
#include <string>
#include <vector>

bool MatchesPattern(const std::string &name, const std::string &pattern);

// The indexes of the rows that some pattern matches, in table order. Raises EUsageError for a
// pattern that matches no row: a typing error must not turn into a build of nothing.
std::vector<int> SelectEnvironments(const std::vector<std::string> &rowNames,
                                    const std::vector<std::string> &patterns);
